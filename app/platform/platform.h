#pragma once
// The few calls that differ between the Mac and elsewhere: the login item, the Dock icon and
// bringing the application to the front, and where one running copy is found. Plain C++, so
// that any source may include it.

#include <QString>

bool registerLoginItem();
bool unregisterLoginItem();
bool isLoginItemRegistered();
void setDockIconVisible(bool visible);
void activateApp();
// The Mac's menu bar gives an item the width it asks for; a tray of square slots squeezes a
// wide picture into a sliver.
bool menuBarTakesWideItems();
// The local socket through which a second copy finds the first, a name or a full path, in a
// folder that only this user can write; empty, with the reason in *error, when there is none.
QString singleInstanceSocket(QString* error);
