// curl_multi_socket_all() is deprecated but is the one call that runs a transfer libcurl forgot
// to wait for (see CurlSession::drive).
#define CURL_DISABLE_DEPRECATION
#include "platform/ftp/curllibrary_p.h"

#ifndef Q_OS_WIN
#include <QLibrary>
#endif

namespace {

struct Library
{
    bool tried = false;
    bool loaded = false;
    QString errorString;
    CurlApi api;
};

Library &library()
{
    static Library l;
    return l;
}

#ifdef Q_OS_WIN

bool fill(CurlApi &api, QString &)
{
    api = {&curl_global_init, &curl_easy_init, &curl_easy_cleanup, &curl_easy_setopt, &curl_easy_getinfo,
        &curl_easy_strerror, &curl_multi_init, &curl_multi_cleanup, &curl_multi_setopt,
        &curl_multi_add_handle, &curl_multi_remove_handle, &curl_multi_info_read, &curl_multi_socket_action,
        &curl_multi_socket_all};
    return true;
}

#else

template <typename Function>
bool resolve(QLibrary &file, const char *name, Function &function, QString &missing)
{
    function = reinterpret_cast<Function>(file.resolve(name));
    if (!function)
        missing = QString::fromLatin1(name);
    return function != nullptr;
}

bool fill(CurlApi &api, QString &errorString)
{
    // Major version 4 is libcurl's binary interface since 2006; it is the one built against.
    QLibrary file(QStringLiteral("curl"), 4);
    if (!file.load()) {
        errorString = file.errorString();
        return false;
    }
    QString missing;
    const bool complete = resolve(file, "curl_global_init", api.globalInit, missing)
        && resolve(file, "curl_easy_init", api.easyInit, missing)
        && resolve(file, "curl_easy_cleanup", api.easyCleanup, missing)
        && resolve(file, "curl_easy_setopt", api.easySetopt, missing)
        && resolve(file, "curl_easy_getinfo", api.easyGetinfo, missing)
        && resolve(file, "curl_easy_strerror", api.easyStrerror, missing)
        && resolve(file, "curl_multi_init", api.multiInit, missing)
        && resolve(file, "curl_multi_cleanup", api.multiCleanup, missing)
        && resolve(file, "curl_multi_setopt", api.multiSetopt, missing)
        && resolve(file, "curl_multi_add_handle", api.multiAddHandle, missing)
        && resolve(file, "curl_multi_remove_handle", api.multiRemoveHandle, missing)
        && resolve(file, "curl_multi_info_read", api.multiInfoRead, missing)
        && resolve(file, "curl_multi_socket_action", api.multiSocketAction, missing)
        && resolve(file, "curl_multi_socket_all", api.multiSocketAll, missing);
    if (!complete) {
        errorString = QStringLiteral("%1: %2 is missing").arg(file.fileName(), missing);
        api = {};
        return false;
    }
    // The library stays loaded until the process ends (QLibrary does not unload on destruction).
    return true;
}

#endif

} // namespace

namespace CurlLibrary {

const CurlApi *load()
{
    Library &l = library();
    if (!l.tried) {
        l.tried = true;
        l.loaded = fill(l.api, l.errorString);
        if (l.loaded && l.api.globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK) {
            l.errorString = QStringLiteral("libcurl cannot be initialised");
            l.loaded = false;
        }
    }
    return l.loaded ? &l.api : nullptr;
}

QString errorString()
{
    return library().errorString;
}

} // namespace CurlLibrary
