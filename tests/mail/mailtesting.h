#pragma once

// Shared pieces of the mail tests: the sink's TLS listeners, a reader of stored messages that is
// Python's email package rather than our code.

#include "common/dialogsteps.h"
#include "common/testservices.h"
#include "common/tools.h"
#include "common/unprivileged.h"

namespace velmora::test {

struct TlsSink {
    int startTlsPort = 0;
    int tlsPort = 0;
    QString caFile;
    QString authLog;   // "<port> <login> tls=<0|1> ok=<0|1>" per AUTH attempt
    bool isValid() const { return startTlsPort > 0 && tlsPort > 0 && !caFile.isEmpty(); }
};

inline TlsSink tlsSink()
{
    const auto env = readEnv(runDir() + QStringLiteral("/smtp.env"));
    return {env.value(QStringLiteral("SMTP_STARTTLS_PORT")).toInt(), env.value(QStringLiteral("SMTP_TLS_PORT")).toInt(),
            env.value(QStringLiteral("SMTP_CA_FILE")), runDir() + QStringLiteral("/auth.log")};
}

// What a mail reader shows of a stored message, as Python's email package reads it (readmail.py).
inline QString readMail(const QString &emlFile)
{
    return runTool(QStringLiteral("/usr/bin/python3"), {QStringLiteral(VELMORA_SOURCE_DIR "/tests/mail/readmail.py"), emlFile})
        .output.trimmed();
}

} // namespace velmora::test
