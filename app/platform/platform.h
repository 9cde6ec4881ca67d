#pragma once
// The few calls that differ between the Mac and elsewhere: the login item, the Dock icon and
// bringing the application to the front. Plain C++, so that any source may include it.

bool registerLoginItem();
bool unregisterLoginItem();
bool isLoginItemRegistered();
void setDockIconVisible(bool visible);
void activateApp();
// The Mac's menu bar gives an item the width it asks for; a tray of square slots squeezes a
// wide picture into a sliver.
bool menuBarTakesWideItems();
