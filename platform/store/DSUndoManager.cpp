#include "platform/store/DSUndoManager.h"

#include <algorithm>

#include <QDebug>

DSUndoManager::DSUndoManager(QObject *parent) : QObject(parent) {}

DSUndoManager::~DSUndoManager() = default;

void DSUndoManager::beginUndoGrouping()
{
    Q_EMIT checkpoint();
    if (m_level++ == 0)
        m_open = Group();
}

void DSUndoManager::endUndoGrouping()
{
    if (m_level == 0) {
        qWarning("DSUndoManager::endUndoGrouping: no group is open");
        return;
    }
    Q_EMIT checkpoint();
    if (--m_level > 0)
        return;
    if (!isUndoRegistrationEnabled() && m_open.actions.empty())
        return;
    // An empty group neither clears the redo stack nor hides it: it only
    // stands where an undo of the group would otherwise reach further back.
    if (!m_open.actions.empty())
        m_redoStack.clear();
    m_undoStack.push_back(std::move(m_open));
    m_open = Group();
}

bool DSUndoManager::canUndo() const
{
    return !m_undoStack.empty() && m_level == 0 && m_state == State::Normal;
}

bool DSUndoManager::canRedo() const
{
    return !m_redoStack.empty() && m_level == 0 && m_state == State::Normal;
}

void DSUndoManager::undo()
{
    if (run(m_undoStack, m_redoStack, State::Undoing))
        Q_EMIT didUndo();
}

void DSUndoManager::redo()
{
    if (run(m_redoStack, m_undoStack, State::Redoing))
        Q_EMIT didRedo();
}

bool DSUndoManager::run(std::vector<Group> &from, std::vector<Group> &to, State state)
{
    Q_EMIT checkpoint();
    if (m_level > 0 || m_state != State::Normal) {
        qWarning("DSUndoManager: cannot undo or redo while a group is open or another undo runs");
        return false;
    }
    if (from.empty())
        return false;
    Group group = std::move(from.back());
    from.pop_back();
    m_state = state;
    m_collecting = Group();
    for (auto it = group.actions.rbegin(); it != group.actions.rend(); ++it)
        (*it)();
    Q_EMIT checkpoint();
    m_state = State::Normal;
    if (!m_collecting.actions.empty())
        to.push_back(std::move(m_collecting));
    m_collecting = Group();
    return true;
}

void DSUndoManager::disableUndoRegistration()
{
    ++m_disabled;
}

void DSUndoManager::enableUndoRegistration()
{
    if (m_disabled == 0) {
        qWarning("DSUndoManager::enableUndoRegistration: registration is not disabled");
        return;
    }
    --m_disabled;
}

void DSUndoManager::registerUndo(Action action, qint64 bytes)
{
    if (!isUndoRegistrationEnabled())
        return;
    Group *into = &m_collecting;
    Group single;
    if (m_state == State::Normal) {
        m_redoStack.clear();
        into = m_level > 0 ? &m_open : &single;
    }
    into->actions.push_back(std::move(action));
    into->bytes += qint64(sizeof(Action)) + std::max<qint64>(bytes, 0);
    if (into == &single)
        m_undoStack.push_back(std::move(single));
}

qint64 DSUndoManager::heldBytes() const
{
    qint64 total = m_open.bytes + m_collecting.bytes;
    for (const std::vector<Group> *stack : {&m_undoStack, &m_redoStack})
        for (const Group &group : *stack)
            total += group.bytes;
    return total;
}

void DSUndoManager::removeAllActions()
{
    m_undoStack.clear();
    m_redoStack.clear();
    m_open = Group();
    m_collecting = Group();
}
