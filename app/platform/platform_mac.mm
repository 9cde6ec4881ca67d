// The Mac side: ServiceManagement for the login item, AppKit for the Dock icon and activation.
#include "app/platform/platform.h"

#import <AppKit/AppKit.h>
#import <ServiceManagement/ServiceManagement.h>

bool registerLoginItem()
{
    NSError* error = nil;
    if ([[SMAppService mainAppService] registerAndReturnError:&error]) return true;
    NSLog(@"Failed to register login item: %@", error);
    return false;
}

bool unregisterLoginItem()
{
    NSError* error = nil;
    if ([[SMAppService mainAppService] unregisterAndReturnError:&error]) return true;
    NSLog(@"Failed to unregister login item: %@", error);
    return false;
}

bool isLoginItemRegistered()
{
    return [SMAppService mainAppService].status == SMAppServiceStatusEnabled;
}

void setDockIconVisible(bool visible)
{
    [NSApp setActivationPolicy:visible ? NSApplicationActivationPolicyRegular
                                       : NSApplicationActivationPolicyAccessory];
}

void activateApp()
{
    [NSApp activateIgnoringOtherApps:YES];
}

bool menuBarTakesWideItems()
{
    return true;
}

QString singleInstanceSocket(QString*)
{
    // Qt puts a plain name in the temporary folder, which is the user's own on the Mac.
    return QStringLiteral("com.tessavel.connect.app.instance");
}
