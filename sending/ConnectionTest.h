#pragma once
// The account dialog's connection test of what is typed.
#include "sending/Account.h"

namespace mail {
class Smtp;
}

// Sets up the SMTP object from the typed log-in and the stored thread mode, connects, reports,
// disconnects. Returns Connect's result (0 = the connection was opened).
qint32 RunConnectionTest(mail::Smtp& smtp, const ServerLogin& login);

// The text the test shows for a Connect result.
QString ConnectionTestResultText(qint32 rc);
