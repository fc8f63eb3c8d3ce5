#pragma once

#include <QWidget>

#include <memory>

class DSAppDelegate;

// The main interface: builds the splash (welcome) window with its open
// button and rating link and sets the application object's outlets to them.
// Answers the splash window, which the application object keeps.
class MainMenu
{
public:
    static std::unique_ptr<QWidget> build(DSAppDelegate &owner);
};
