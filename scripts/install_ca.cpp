// Adds a DER certificate to the machine's trusted roots, so WinINet verifies the test server.
#include <windows.h>
#include <wincrypt.h>
#include <stdio.h>

#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: install_ca CERT.der\n");
        return 2;
    }
    FILE* file = fopen(argv[1], "rb");
    if (file == nullptr) {
        fprintf(stderr, "cannot open %s\n", argv[1]);
        return 1;
    }
    std::vector<BYTE> der(65536);
    size_t size = fread(der.data(), 1, der.size(), file);
    fclose(file);
    HCERTSTORE store =
        CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, "Root");
    if (store == nullptr) {
        fprintf(stderr, "cannot open the Root store: %lu\n", GetLastError());
        return 1;
    }
    BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(),
                                                  static_cast<DWORD>(size),
                                                  CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    DWORD error = GetLastError();
    CertCloseStore(store, 0);
    if (!added) {
        fprintf(stderr, "cannot add the certificate: %lu\n", error);
        return 1;
    }
    return 0;
}
