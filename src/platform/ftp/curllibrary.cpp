#include "platform/ftp/curllibrary_p.h"

#ifdef Q_OS_WIN

bool CurlLibrary::load()
{
    return true;
}

QString CurlLibrary::errorString()
{
    return {};
}

#else

#include <QLibrary>

// The definitions below need the plain declarations: no type-checking macros, no deprecation.
#define CURL_DISABLE_TYPECHECK
#define CURL_DISABLE_DEPRECATION
#include <curl/curl.h>

#include <cstdarg>

namespace {

// libcurl's functions as the session calls them, resolved together on the first load.
struct Functions
{
    decltype(&curl_global_init) globalInit = nullptr;
    decltype(&curl_easy_init) easyInit = nullptr;
    decltype(&curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&curl_easy_setopt) easySetopt = nullptr;
    decltype(&curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&curl_easy_strerror) easyStrerror = nullptr;
    decltype(&curl_multi_init) multiInit = nullptr;
    decltype(&curl_multi_cleanup) multiCleanup = nullptr;
    decltype(&curl_multi_setopt) multiSetopt = nullptr;
    decltype(&curl_multi_add_handle) multiAddHandle = nullptr;
    decltype(&curl_multi_remove_handle) multiRemoveHandle = nullptr;
    decltype(&curl_multi_info_read) multiInfoRead = nullptr;
    decltype(&curl_multi_socket_action) multiSocketAction = nullptr;
    decltype(&curl_multi_socket_all) multiSocketAll = nullptr;
};

struct Library
{
    bool tried = false;
    bool loaded = false;
    QString errorString;
    Functions functions;
};

Library &library()
{
    static Library l;
    return l;
}

template <typename Function>
bool resolve(QLibrary &file, const char *name, Function &function, QString &missing)
{
    function = reinterpret_cast<Function>(file.resolve(name));
    if (!function)
        missing = QString::fromLatin1(name);
    return function != nullptr;
}

// Null until the library is loaded; every forwarding function below fails softly then.
const Functions *functions()
{
    return CurlLibrary::load() ? &library().functions : nullptr;
}

// An option's number tells the type of its one argument, as libcurl itself reads it.
enum class ArgumentType { Long, Pointer, Function, Offset };

ArgumentType argumentTypeOf(int option)
{
    if (option >= CURLOPTTYPE_BLOB)
        return ArgumentType::Pointer;
    if (option >= CURLOPTTYPE_OFF_T)
        return ArgumentType::Offset;
    if (option >= CURLOPTTYPE_FUNCTIONPOINT)
        return ArgumentType::Function;
    if (option >= CURLOPTTYPE_OBJECTPOINT)
        return ArgumentType::Pointer;
    return ArgumentType::Long;
}

// Passes the one variadic argument of a setopt call on with the type it was given with.
template <typename Handle, typename Option, typename Result>
Result forwardOption(
    Result (*setopt)(Handle *, Option, ...), Handle *handle, Option option, va_list arguments)
{
    // Every function pointer travels through "..." the same way; libcurl reads it with its own type.
    using AnyFunction = void (*)();
    switch (argumentTypeOf(int(option))) {
    case ArgumentType::Long:
        return setopt(handle, option, va_arg(arguments, long));
    case ArgumentType::Pointer:
        return setopt(handle, option, va_arg(arguments, void *));
    case ArgumentType::Function:
        return setopt(handle, option, va_arg(arguments, AnyFunction));
    case ArgumentType::Offset:
        return setopt(handle, option, va_arg(arguments, curl_off_t));
    }
    return setopt(handle, option, va_arg(arguments, void *));
}

} // namespace

bool CurlLibrary::load()
{
    Library &l = library();
    if (l.tried)
        return l.loaded;
    l.tried = true;
    // Major version 4 is libcurl's binary interface since 2006; it is the one built against.
    QLibrary file(QStringLiteral("curl"), 4);
    if (!file.load()) {
        l.errorString = file.errorString();
        return false;
    }
    Functions &f = l.functions;
    QString missing;
    const bool complete = resolve(file, "curl_global_init", f.globalInit, missing)
        && resolve(file, "curl_easy_init", f.easyInit, missing)
        && resolve(file, "curl_easy_cleanup", f.easyCleanup, missing)
        && resolve(file, "curl_easy_setopt", f.easySetopt, missing)
        && resolve(file, "curl_easy_getinfo", f.easyGetinfo, missing)
        && resolve(file, "curl_easy_strerror", f.easyStrerror, missing)
        && resolve(file, "curl_multi_init", f.multiInit, missing)
        && resolve(file, "curl_multi_cleanup", f.multiCleanup, missing)
        && resolve(file, "curl_multi_setopt", f.multiSetopt, missing)
        && resolve(file, "curl_multi_add_handle", f.multiAddHandle, missing)
        && resolve(file, "curl_multi_remove_handle", f.multiRemoveHandle, missing)
        && resolve(file, "curl_multi_info_read", f.multiInfoRead, missing)
        && resolve(file, "curl_multi_socket_action", f.multiSocketAction, missing)
        && resolve(file, "curl_multi_socket_all", f.multiSocketAll, missing);
    if (!complete) {
        l.errorString = QStringLiteral("%1: %2 is missing").arg(file.fileName(), missing);
        l.functions = {};
        return false;
    }
    // The library stays loaded until the process ends.
    l.loaded = true;
    return true;
}

QString CurlLibrary::errorString()
{
    return library().errorString;
}

extern "C" {

CURLcode curl_global_init(long flags)
{
    const Functions *f = functions();
    return f ? f->globalInit(flags) : CURLE_FAILED_INIT;
}

CURL *curl_easy_init()
{
    const Functions *f = functions();
    return f ? f->easyInit() : nullptr;
}

void curl_easy_cleanup(CURL *handle)
{
    if (const Functions *f = functions())
        f->easyCleanup(handle);
}

CURLcode curl_easy_setopt(CURL *handle, CURLoption option, ...)
{
    const Functions *f = functions();
    if (!f)
        return CURLE_FAILED_INIT;
    va_list arguments;
    va_start(arguments, option);
    const CURLcode result = forwardOption(f->easySetopt, handle, option, arguments);
    va_end(arguments);
    return result;
}

CURLcode curl_easy_getinfo(CURL *handle, CURLINFO info, ...)
{
    const Functions *f = functions();
    if (!f)
        return CURLE_FAILED_INIT;
    // Every item is read into the place that the one argument points to.
    va_list arguments;
    va_start(arguments, info);
    void *place = va_arg(arguments, void *);
    va_end(arguments);
    return f->easyGetinfo(handle, info, place);
}

const char *curl_easy_strerror(CURLcode code)
{
    const Functions *f = functions();
    return f ? f->easyStrerror(code) : "libcurl is not loaded";
}

CURLM *curl_multi_init()
{
    const Functions *f = functions();
    return f ? f->multiInit() : nullptr;
}

CURLMcode curl_multi_cleanup(CURLM *multi)
{
    const Functions *f = functions();
    return f ? f->multiCleanup(multi) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_setopt(CURLM *multi, CURLMoption option, ...)
{
    const Functions *f = functions();
    if (!f)
        return CURLM_INTERNAL_ERROR;
    va_list arguments;
    va_start(arguments, option);
    const CURLMcode result = forwardOption(f->multiSetopt, multi, option, arguments);
    va_end(arguments);
    return result;
}

CURLMcode curl_multi_add_handle(CURLM *multi, CURL *handle)
{
    const Functions *f = functions();
    return f ? f->multiAddHandle(multi, handle) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_remove_handle(CURLM *multi, CURL *handle)
{
    const Functions *f = functions();
    return f ? f->multiRemoveHandle(multi, handle) : CURLM_INTERNAL_ERROR;
}

CURLMsg *curl_multi_info_read(CURLM *multi, int *messagesLeft)
{
    const Functions *f = functions();
    return f ? f->multiInfoRead(multi, messagesLeft) : nullptr;
}

CURLMcode curl_multi_socket_action(CURLM *multi, curl_socket_t socket, int mask, int *runningHandles)
{
    const Functions *f = functions();
    return f ? f->multiSocketAction(multi, socket, mask, runningHandles) : CURLM_INTERNAL_ERROR;
}

CURLMcode curl_multi_socket_all(CURLM *multi, int *runningHandles)
{
    const Functions *f = functions();
    return f ? f->multiSocketAll(multi, runningHandles) : CURLM_INTERNAL_ERROR;
}

} // extern "C"

#endif
