#pragma once
// A resolver file of the test's own: the network tools read their DNS servers from it while it lives.
#include "tools/NetworkTools.h"

#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace toolstest {

class ResolvConf {
public:
    explicit ResolvConf(const QByteArray& content) {
        m_path = m_dir.filePath(QStringLiteral("resolv.conf"));
        QFile f(m_path);
        f.open(QIODevice::WriteOnly);
        f.write(content);
        f.close();
        nettools::SetResolvConfPathForTests(m_path);
    }
    ~ResolvConf() { nettools::SetResolvConfPathForTests(QString()); }
    QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

} // namespace toolstest
