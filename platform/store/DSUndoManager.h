#pragma once

#include <QObject>

#include <functional>
#include <vector>

// Undo and redo stacks of groups of actions. A context registers one action
// each time it processes pending changes; undoing that action restores the
// values it records, and the context's processing of the restored values
// registers the redo action (as a redo manager would: registrations made
// while undoing go to the redo stack, and the other way round).
//
// Grouping: between beginUndoGrouping() and the matching endUndoGrouping()
// every registration joins one group, nested groups included; undo() undoes
// the last closed top-level group. Outside any group each registration is a
// group of its own. A top-level group closed with nothing in it still counts
// as a step: undoing it changes nothing, so a sheet that closes and undoes
// its own empty group never undoes an earlier step.
//
// checkpoint() is emitted before grouping changes, undo and redo, so a
// context processes what is pending first and the group gets exactly its
// own changes.
class DSUndoManager : public QObject
{
    Q_OBJECT

public:
    using Action = std::function<void()>;

    explicit DSUndoManager(QObject *parent = nullptr);
    ~DSUndoManager() override;

    void beginUndoGrouping();
    void endUndoGrouping();
    int groupingLevel() const { return m_level; }

    bool canUndo() const;
    bool canRedo() const;
    // Undoes the last top-level group and emits didUndo(); refused (with a
    // warning) while a group is open or during another undo or redo.
    void undo();
    void redo();
    bool isUndoing() const { return m_state == State::Undoing; }
    bool isRedoing() const { return m_state == State::Redoing; }

    // Registration is off while the disable count is above zero; nothing
    // registered then can be undone.
    void disableUndoRegistration();
    void enableUndoRegistration();
    bool isUndoRegistrationEnabled() const { return m_disabled == 0; }

    // Registers an action that undoes a change just made; bytes is the
    // memory its record holds beyond the action object itself (the values
    // it captures by reference), counted in heldBytes().
    void registerUndo(Action action, qint64 bytes = 0);
    // The memory the undo and redo stacks hold in their records, as
    // registered: a measure of what undo costs, not of the allocator.
    qint64 heldBytes() const;
    void removeAllActions();

Q_SIGNALS:
    void checkpoint();
    void didUndo();
    void didRedo();

private:
    enum class State { Normal, Undoing, Redoing };
    struct Group {
        std::vector<Action> actions;
        qint64 bytes = 0;
    };

    bool run(std::vector<Group> &from, std::vector<Group> &to, State state);

    std::vector<Group> m_undoStack;
    std::vector<Group> m_redoStack;
    Group m_open;        // the group being filled while m_level > 0
    Group m_collecting;  // the inverse group filled during undo or redo
    int m_level = 0;
    int m_disabled = 0;
    State m_state = State::Normal;
};
