// Signing on Linux with the real tools: a stamped program signed by
// osslsigncode with a certificate made here by openssl verifies, kwz still
// reads it, and restamping drops the signature cleanly.
#include "tests/support/TestFiles.h"
#include "tests/tools/KwzRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

namespace {

// Runs a shell command with its output in log; its exit code.
int Shell(const std::string& command, const std::string& log)
{
    const int status = std::system((command + " >" + log + " 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool Installed(const char* tool)
{
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

TEST(PeSigningTest, SignedSetupProgramVerifiesAndRestampsToTheUnsignedBytes)
{
    for (const char* tool : {"osslsigncode", "openssl"})
        if (!Installed(tool))
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh installs it); signing is not tested";
    const std::string stub = std::string(KWO_BUILD_FOLDER) + "/win32/KwoWardenSetup-stub.exe";
    ASSERT_TRUE(FileExists(stub)) << stub << " is missing: build the Windows trees first";

    CTempFolder dir;
    CTempFolder product;
    FillPayloadFolder(product.Path());
    // A code-signing certificate of our own, valid for a day.
    ASSERT_EQ(0, Shell("openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj '/CN=Kwo Warden Setup test'"
                       " -addext extendedKeyUsage=codeSigning -keyout " + (dir / "key.pem") + " -out " + (dir / "cert.pem"),
                       dir / "openssl.log"))
        << ReadFileBytes(dir / "openssl.log");
    ASSERT_EQ(0, RunKwz({"stamp", "-q", stub, product.Path(), dir / "setup.exe"}).code);

    ASSERT_EQ(0, Shell("osslsigncode sign -certs " + (dir / "cert.pem") + " -key " + (dir / "key.pem") +
                           " -n 'Product Setup' -in " + (dir / "setup.exe") + " -out " + (dir / "signed.exe"),
                       dir / "sign.log"))
        << ReadFileBytes(dir / "sign.log");
    EXPECT_EQ(0, Shell("osslsigncode verify -CAfile " + (dir / "cert.pem") + " -in " + (dir / "signed.exe"),
                       dir / "verify.log"));
    EXPECT_TRUE(Contains(ReadFileBytes(dir / "verify.log"), "Signature verification: ok"))
        << ReadFileBytes(dir / "verify.log");

    // kwz reads the signed program as it read the unsigned one.
    const KwzResult list = RunKwz({"list", "-q", dir / "signed.exe"});
    EXPECT_EQ(0, list.code);
    EXPECT_EQ(RunKwz({"list", "-q", dir / "setup.exe"}).out, list.out);
    const KwzResult verify = RunKwz({"verify", "-q", dir / "signed.exe", product.Path()});
    EXPECT_EQ(0, verify.code) << verify.out;

    // Restamping removes the signature with a warning: the bytes are those
    // of the unsigned program restamped.
    const KwzResult restamp = RunKwz({"stamp", "-q", dir / "signed.exe", product.Path(), dir / "restamped.exe"});
    ASSERT_EQ(0, restamp.code) << restamp.err;
    EXPECT_TRUE(Contains(restamp.err, "carried an Authenticode signature")) << restamp.err;
    ASSERT_EQ(0, RunKwz({"stamp", "-q", dir / "setup.exe", product.Path(), dir / "plain.exe"}).code);
    EXPECT_TRUE(ReadFileBytes(dir / "restamped.exe") == ReadFileBytes(dir / "plain.exe"));
    EXPECT_NE(0, Shell("osslsigncode verify -CAfile " + (dir / "cert.pem") + " -in " + (dir / "restamped.exe"),
                       dir / "unsigned.log"));
}

}  // namespace
