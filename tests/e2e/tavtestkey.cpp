// `tav` as built, except that the maker's public key is the test key committed in
// tests/data/updatekey: the end-to-end run of a signed update needs a program with a key built in,
// and the signatures the test makes with that key's secret half.

#include "app/startup.h"
#include "modes/update/updatesignature.h"

int main(int argc, char **argv)
{
    UpdateSignature::setPublicKey(TAV_TEST_UPDATE_KEY);
    return Startup::main(argc, argv);
}
