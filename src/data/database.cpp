#include "data/database.h"

#include "core/connstring.h"
#include "data/fbclient.h"

namespace velmora {

Status createDatabase(const QString &connString)
{
    auto parsed = parseConnString(connString);
    if (!parsed)
        return parsed.failure();
    const ConnString &cs = parsed.value();

    fb::Status st;
    fb::AttachParams params;
    params.user = cs.user;
    params.password = cs.password;
    params.role = cs.role;
    params.charset = cs.charset;
    params.createUtf8 = true;
    if (Status ok = fb::checkAttachParams(params, 0); !ok)
        return ok;
    const QByteArray dpb = fb::buildDpb(params, st);
    if (st.failed())
        return st.failure();
    const QByteArray dsn = cs.dsn().toUtf8();
    const fb::HostSignals keepSignals;
    fb::Handle<Firebird::IAttachment> att(fb::provider()->createDatabase(
        st.ptr(), dsn.constData(), unsigned(dpb.size()), reinterpret_cast<const unsigned char *>(dpb.constData())));
    if (st.failed())
        return st.failure();
    att.end(st);
    if (st.failed())
        return st.failure();
    return {};
}

} // namespace velmora
