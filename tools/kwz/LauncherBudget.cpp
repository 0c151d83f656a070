#include "tools/kwz/LauncherBudget.h"

#include "tools/kwz/ProgressBar.h"
#include "tools/kwz/pe/PeImage.h"

#include "archive/ArchiveFormat.h"
#include "archive/LzssCodec.h"
#include "base/KwoException.h"

#include <algorithm>

namespace {

constexpr uint64_t kMiB = 1u << 20;
constexpr uint64_t kGiB = 1u << 30;
constexpr uint64_t kWindowsShare = 512 * kMiB;
constexpr uint64_t kLargestBlock32 = 1536 * kMiB;
constexpr uint64_t kCodecMemory = kLzssCodecMaxSize;

uint64_t AddressSpace(const CLauncherBudget& budget)
{
    return budget.largeAddressAware ? 4 * kGiB : 2 * kGiB;
}

// "1234567 bytes (1.2 MiB)".
std::string Figure(uint64_t bytes)
{
    return std::to_string(bytes) + " bytes (" + ByteSize(bytes) + ")";
}

}  // namespace

std::string CLauncherBudget::Describe() const
{
    if (pe32Plus)
        return "x64 launcher";
    return largeAddressAware ? "x86 launcher (large-address-aware)" : "x86 launcher (not large-address-aware)";
}

uint64_t CLauncherBudget::LargestImage(uint64_t programSize, uint64_t payloadSize) const
{
    if (pe32Plus)
        return kLargestImage;
    const uint64_t available = AddressSpace(*this) - kWindowsShare;
    const uint64_t taken = programSize + payloadSize + kCodecMemory;
    if (taken >= available)
        return 0;
    return std::min(available - taken, kLargestBlock32);
}

void CLauncherBudget::Check(const std::string& what, uint64_t programSize, uint64_t payloadSize, uint64_t imageSize,
                            bool atLeast) const
{
    const std::string refusal = "cannot stamp " + what + ": ";
    if (programSize >= kLargestProgram) {
        const std::string text = refusal + "the setup program would map " + std::string(atLeast ? "at least " : "") +
                                 Figure(programSize) + "; programs from 2 GiB on are not written";
        ThrowError("BudgetError", text.c_str(), 0, 0);
    }
    if (imageSize <= LargestImage(programSize, payloadSize))
        return;
    std::string text = refusal + "the " + Describe() + " cannot extract it. ";
    if (pe32Plus) {
        text += "The decoded image would take " + Figure(imageSize) + ", more than the 4 GiB - 1 bytes that an "
                "archive's 32-bit offsets reach";
        ThrowError("BudgetError", text.c_str(), 0, 0);
    }
    const uint64_t peak = programSize + payloadSize + kCodecMemory + imageSize;
    text += "At its peak it would hold " + std::string(atLeast ? "at least " : "") + Figure(peak) +
            ": the mapped program " + ByteSize(programSize) + ", the payload copy " + ByteSize(payloadSize) +
            ", the codec " + ByteSize(kCodecMemory) + " and the decoded image " + ByteSize(imageSize) +
            " in one block. ";
    text += largeAddressAware ? "A large-address-aware 32-bit program has 4 GiB of address space on 64-bit Windows"
                              : "A 32-bit program that is not large-address-aware has 2 GiB of address space";
    text += "; kwz leaves 512 MiB of it to Windows (its DLLs, stacks and heaps) and takes one block to be at most "
            "1.5 GiB, so this program and payload leave room for an image of " +
            Figure(LargestImage(programSize, payloadSize)) +
            ". The x64 stub (KwoWardenSetup-stub.exe of the x64 build) extracts images up to 4 GiB - 1 bytes";
    ThrowError("BudgetError", text.c_str(), 0, 0);
}

CLauncherBudget BudgetOf(const CPeImage& stub)
{
    CLauncherBudget budget;
    budget.pe32Plus = stub.IsPe32Plus();
    budget.largeAddressAware = (stub.Characteristics() & Pe::kFileLargeAddressAware) != 0;
    return budget;
}

CLauncherBudget SmallestBudget()
{
    return CLauncherBudget();
}

uint64_t SmallestImageOf(uint64_t payloadSize)
{
    // The end token (22 bits) and at most 7 fill bits carry no byte.
    const uint64_t bits = payloadSize * 8;
    return bits > 29 ? (bits - 29) / 9 : 0;
}

uint64_t SmallestPayloadOf(uint64_t imageSize)
{
    const uint64_t matches = imageSize / 131;
    return (matches * 29 + 22) / 8;
}
