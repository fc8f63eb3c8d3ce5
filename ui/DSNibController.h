#pragma once

class QWidget;

// The base of window, pane and auxiliary-window controllers. awakeFromNib()
// builds the controller's interface once (loadNib(), the code that stands
// for its interface file) and then calls didLoadNib(); teardown() releases
// what was built.
class DSNibController
{
public:
    virtual ~DSNibController() = default;

    void awakeFromNib()
    {
        if (m_loaded)
            return;
        m_loaded = true;
        loadNib();
        didLoadNib();
    }
    virtual void teardown() { m_loaded = false; }
    bool isLoaded() const { return m_loaded; }

    // The controller's window, or null while it has none.
    virtual QWidget *window() const { return nullptr; }

protected:
    virtual void loadNib() {}
    virtual void didLoadNib() {}

private:
    bool m_loaded = false;
};
