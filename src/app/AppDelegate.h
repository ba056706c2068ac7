#pragma once
// The application's start, its commands and its end: files named on the command line open at
// launch, no document is made on its own, and the welcome window takes the place of an
// untitled document.
#include "app/AppMenus.h"
#include "app/ColorDocumentController.h"
#include "app/WelcomeWindowPort.h"

#include <QObject>
#include <QStringList>

class ColorDocument;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    AppDelegate(
        ColorDocumentController& controller, WelcomeWindowPort& welcome, QObject* parent = nullptr);

    // Opens files (each once; errors shown); with none to open, shows the welcome window or,
    // when it is to stay hidden, asks for a picture. False when the application has nothing to
    // show and should quit.
    bool applicationDidFinishLaunching(const QStringList& files);
    // Opens each file, showing the error of any that fails; returns how many opened.
    int openFiles(const QStringList& files);

    // From the welcome window's check box: "HideWelcomeWindow" follows it, the window stays.
    void dontShowWelcomeWindowToggled(bool checked);
    // The menu command: clears the box and the default and brings the welcome window forward.
    void showWelcomeWindow();

    // Closes every document (asking about unsaved ones); false when the user cancelled.
    bool quit();

    // Gives window its menu, acting on document (null: the welcome window's menu).
    QMenuBar* installMenu(QWidget* window, ColorDocument* document);
    // The commands of one window's menu, acting on document (null: the welcome window's).
    AppMenus::Handlers handlersFor(ColorDocument* document);
    // The Edit and Arrange items' enabling, asked of the document's window.
    static AppMenus::Validators validatorsFor(ColorDocument* document);

signals:
    // Nothing is left to show or the user quit: the event loop should end.
    void quitRequested();

private:
    ColorDocumentController& m_controller;
    WelcomeWindowPort& m_welcome;
};
