#pragma once
// What the support request's tests and its window's tests share: an account that sends through aiosmtpd
// on 127.0.0.1 and holds a password the request must never mail, and the parts of a received mail as
// Python's email package reads them.
#include "tests/mail/SmtpPeers.h"
#include "tools/SupportRequest.h"

#include <QJsonObject>
#include <QString>
#include <gtest/gtest.h>

namespace toolstest {

inline const QString kPassword = QStringLiteral("Hunter2-never-mailed");

// Clears the settings, then stores an account that sends to 127.0.0.1 on port.
void StoreAccount(quint16 port);

// The first value of a header of the received mail.
QString HeaderOf(const QJsonObject& envelope, const char* name);

// The body as Python's email package decodes it, with its line ends as "\n".
QString BodyOf(const QJsonObject& envelope);

// The account stored for aiosmtpd (which takes the user "ada" with kPassword) and the support mailbox
// pointed at a test address.
class SupportMail : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    SupportRequest request();

    smtptest::PythonPeer peer{
        {QStringLiteral("--user"), QStringLiteral("ada"), QStringLiteral("--password"), kPassword}};
};

} // namespace toolstest
