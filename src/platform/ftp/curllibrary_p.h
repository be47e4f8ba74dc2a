#pragma once

#include <QString>

#include <curl/curl.h>

// libcurl's functions as CurlSession calls them. Elsewhere than on Windows libcurl is loaded when
// the first transfer starts, not when the program starts: linking it would make every start load
// it and the two dozen libraries it needs (TLS, Kerberos, LDAP, SSH, IDN), which costs about as
// long as the rest of the start up to the first window. On Windows the program links libcurl as
// usual and the table holds the linked functions.
struct CurlApi
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

namespace CurlLibrary {

// The table of libcurl's functions, loading and initialising the library on the first call
// (the first transfer), so that a run that transfers nothing never pays for it; null, with the
// reason in errorString(), when it cannot be loaded, lacks a function of the table or fails to
// initialise. Every later call gives the same answer.
[[nodiscard]] const CurlApi *load();
[[nodiscard]] QString errorString();

} // namespace CurlLibrary
