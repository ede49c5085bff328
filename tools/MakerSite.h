#pragma once
// Where the program reaches its maker: the web host of the update check and the online support page,
// and the support mailbox. They are constants of the program; the tests alone point them at loopback
// through the environment variables VELANTO_TEST_MAKER_HOST and VELANTO_TEST_SUPPORT_ADDRESS.
#include <QString>

// "host" or "host:port", without scheme.
QString MakerHost();

// "http://" + host + "/download-ost/setup.upd" and ".../setup.exe".
QString UpdateFileUrl();
QString InstallerUrl();

// The maker's home page (Help > Visit Home Page), opened in the browser.
QString HomePageUrl();

// The page where a request for help can be filed by hand when mailing it fails.
QString OnlineSupportUrl();

// Both the display name and the address of the support request's recipient.
QString SupportMailbox();
