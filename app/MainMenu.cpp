#include "app/MainMenu.h"

#include "app/DSAppDelegate.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

std::unique_ptr<QWidget> MainMenu::build(DSAppDelegate &owner)
{
    auto splash = std::make_unique<QWidget>(nullptr, Qt::Window);
    splash->setObjectName(QStringLiteral("splash_window"));
    splash->setWindowTitle(DSAppDelegate::welcomeMessage());

    auto *welcome = new QLabel(DSAppDelegate::exclamatoryWelcomeMessage(), splash.get());
    QFont font = welcome->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    welcome->setFont(font);
    welcome->setAlignment(Qt::AlignCenter);

    auto *open = new QPushButton(QStringLiteral("Open an Existing File…"), splash.get());
    open->setObjectName(QStringLiteral("open_existing_file_button"));
    QObject::connect(open, &QPushButton::clicked, &owner, &DSAppDelegate::openExistingFileRequested);

    auto *rate = new QLabel(QStringLiteral("Rate Ostrel"), splash.get());
    rate->setObjectName(QStringLiteral("rate_in_app_store_text_field"));
    rate->setAlignment(Qt::AlignCenter);

    auto *layout = new QVBoxLayout(splash.get());
    layout->addWidget(welcome);
    layout->addWidget(open);
    layout->addWidget(rate);

    owner.splash_window = splash.get();
    owner.open_existing_file_button = open;
    owner.rate_in_app_store_text_field = rate;
    return splash;
}
