#pragma once

#include <QString>

// libcurl is loaded when the first transfer starts, not when the program starts: linking it
// would make every start load it and the two dozen libraries it needs (TLS, Kerberos, LDAP, SSH,
// IDN), which costs about as long as the rest of the start up to the first window. The libcurl
// functions that CurlSession calls are defined in curllibrary.cpp and forward to the library
// once it is loaded; on Windows the program links libcurl as usual and load() has nothing to do.
namespace CurlLibrary {

// Loads libcurl if that has not been done yet; false, with the reason in errorString(), when it
// cannot be loaded or lacks a function that the session calls.
[[nodiscard]] bool load();
[[nodiscard]] QString errorString();

} // namespace CurlLibrary
