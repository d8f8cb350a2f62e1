# libgcrypt (with libgpg-error underneath) as the imported target kh::gcrypt.
# Natively the system's shared library (Debian: libgcrypt20-dev). For Windows the static
# archives of libgcrypt-mingw-w64-dev, so that every .exe stays one self-contained file.
if(TARGET kh::gcrypt)
    return()
endif()

find_path(KH_GCRYPT_INCLUDE_DIR gcrypt.h REQUIRED)
if(WIN32)
    find_library(KH_GCRYPT_LIBRARY NAMES libgcrypt.a REQUIRED)
    find_library(KH_GPG_ERROR_LIBRARY NAMES libgpg-error.a REQUIRED)
else()
    find_library(KH_GCRYPT_LIBRARY NAMES gcrypt REQUIRED)
    find_library(KH_GPG_ERROR_LIBRARY NAMES gpg-error REQUIRED)
endif()

add_library(kh::gcrypt INTERFACE IMPORTED GLOBAL)
set_target_properties(kh::gcrypt PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${KH_GCRYPT_INCLUDE_DIR}")
target_link_libraries(kh::gcrypt INTERFACE ${KH_GCRYPT_LIBRARY} ${KH_GPG_ERROR_LIBRARY})
if(WIN32)
    # libgpg-error's sockets and libgcrypt's entropy gatherer.
    target_link_libraries(kh::gcrypt INTERFACE ws2_32 advapi32)
endif()
