# Turns a DER public key file into the definition of kReleaseKey (patch/release_key.h), so
# the key is part of the executable; an empty path gives a launcher without a key.
# Usage: skh_release_key_source(DER_PATH_OR_EMPTY OUTPUT_CPP)
function(skh_release_key_source der output)
    set(bytes "0")
    set(size 0)
    set(fingerprint "")
    if(der)
        if(NOT EXISTS "${der}")
            message(FATAL_ERROR "release key ${der} does not exist")
        endif()
        file(READ "${der}" hex HEX)
        string(LENGTH "${hex}" digits)
        math(EXPR size "${digits} / 2")
        # A DER SubjectPublicKeyInfo starts with a SEQUENCE (0x30); a PEM file would not.
        if(NOT hex MATCHES "^30")
            message(FATAL_ERROR "release key ${der} is not a DER public key "
                                "(skh_publish keygen writes release_public.der)")
        endif()
        string(REGEX REPLACE "(..)" "0x\\1," bytes "${hex}")
        file(SHA256 "${der}" fingerprint)
    endif()
    file(CONFIGURE OUTPUT "${output}" CONTENT "// Generated from \"${der}\" by cmake/release_key.cmake.
#include \"patch/release_key.h\"

const unsigned char kReleaseKey[] = {${bytes}};
const size_t kReleaseKeySize = ${size};
const char kReleaseKeyFingerprint[] = \"${fingerprint}\";
" @ONLY)
endfunction()
