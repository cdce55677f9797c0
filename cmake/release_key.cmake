# Turns a DER public key file into the definition of kReleaseKey (patch/release_key.h), so
# the key is part of the executable; an empty path gives a launcher without a key.
# Usage: skh_release_key_source(DER_PATH_OR_EMPTY OUTPUT_CPP)
# To check a key file by hand, run this file as a script:
#   cmake -DSKH_RELEASE_KEY=FILE -DOUTPUT=FILE.cpp -P cmake/release_key.cmake

# An RSA 3072 SubjectPublicKeyInfo in DER, as hexadecimal digits: a SEQUENCE of the algorithm
# (rsaEncryption, NULL parameters) and a BIT STRING holding the modulus of 384 bytes and the
# exponent. A private key in any form (PEM, PKCS#8 or PKCS#1 DER), a certificate or another
# kind of key differs from it within its first bytes.
set(SKH_RSA3072_SPKI_HEX
    "^30820(1[0-9a-f][0-9a-f])300d06092a864886f70d010101050003820(1[0-9a-f][0-9a-f])00"
    "30820(1[0-9a-f][0-9a-f])0282018100[89a-f][0-9a-f]")

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
        string(CONCAT pattern ${SKH_RSA3072_SPKI_HEX})
        set(lengths_hold FALSE)
        if(hex MATCHES "${pattern}")
            # Each length counts the bytes after its own 4-byte header; the outer SEQUENCE, the
            # BIT STRING (after the 15 bytes of the algorithm) and the key's SEQUENCE (after the
            # unused-bits byte) all end where the file ends.
            math(EXPR outer "0x${CMAKE_MATCH_1} + 4")
            math(EXPR bits "0x${CMAKE_MATCH_2} + 4 + 15 + 4")
            math(EXPR key "0x${CMAKE_MATCH_3} + 4 + 15 + 4 + 1 + 4")
            if(outer EQUAL size AND bits EQUAL size AND key EQUAL size)
                set(lengths_hold TRUE)
            endif()
        endif()
        if(NOT lengths_hold)
            message(FATAL_ERROR "release key ${der} is not a DER public key of RSA 3072 "
                                "(skh_publish keygen writes release_public.der); a private key "
                                "must never be built into the launcher")
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

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    skh_release_key_source("${SKH_RELEASE_KEY}" "${OUTPUT}")
endif()
