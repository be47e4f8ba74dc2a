# Deployment values: the update sites, the asteroid server and the two web sites.
# Defaults name hosts under the reserved domain .invalid; a real deployment sets them at configure time.
set(TAV_SITE0_URL "ftp://update1.kora.invalid" CACHE STRING "First update site (ftp://host[:port])")
set(TAV_SITE0_USER "" CACHE STRING "User on the first update site")
set(TAV_SITE0_PASSWORD "" CACHE STRING "Password on the first update site")
set(TAV_SITE1_URL "ftp://update2.kora.invalid" CACHE STRING "Second update site")
set(TAV_SITE1_USER "" CACHE STRING "User on the second update site")
set(TAV_SITE1_PASSWORD "" CACHE STRING "Password on the second update site")
set(TAV_SITE2_URL "ftp://update3.kora.invalid" CACHE STRING "Third update site")
set(TAV_SITE2_USER "" CACHE STRING "User on the third update site")
set(TAV_SITE2_PASSWORD "" CACHE STRING "Password on the third update site")
set(TAV_ASTEROID_URL "ftp://ephemeris.kora.invalid" CACHE STRING "FTP server of the asteroid ephemeris files")
set(TAV_WEB_SITE "kora.invalid" CACHE STRING "Web site of the host application (without www.)")
set(TAV_WEB_SITE2 "kora-astro.invalid" CACHE STRING "Second web site (without www.)")
# The maker's minisign public key (the "RW..." line of `minisign -G`). Empty: updates are installed
# unsigned, as before; set: every update must come with its signature "<archive>.minisig".
set(TAV_UPDATE_PUBLIC_KEY "" CACHE STRING "minisign public key that signs the updates (empty: unsigned)")

configure_file(${CMAKE_CURRENT_LIST_DIR}/deployment.h.in ${CMAKE_BINARY_DIR}/generated/deployment.h @ONLY)
add_library(tav_deployment INTERFACE)
target_include_directories(tav_deployment INTERFACE ${CMAKE_BINARY_DIR}/generated)
