#pragma once

#include <memory>
#include <string>
#include <vector>

namespace trawlix {

// A mobile carrier and its e-mail-to-SMS gateway domain.
class TGSMNetwork {
public:
    int GetID() const { return FID; }
    void SetID(int aID) { FID = aID; }
    const std::string& GetName() const { return FName; }
    void SetName(const std::string& aName) { FName = aName; }
    const std::string& GetAddress() const { return FAddress; }
    void SetAddress(const std::string& aAddress) { FAddress = aAddress; }

private:
    int FID = 0;
    std::string FName;
    std::string FAddress;
};

// The carriers of GSMNetworks.cur, in file order. The file is little-endian: an
// 11-byte version stamp, a signed 32-bit record count, then 156-byte records (ID as
// signed 32-bit; Name as a length byte and 50 bytes; Address as a length byte and
// 100 bytes).
class TGSMNetworks {
public:
    static constexpr size_t cHeaderSize = 11;
    static constexpr size_t cRecordSize = 156;
    static constexpr size_t cNameSize = 50;
    static constexpr size_t cAddressSize = 100;

    TGSMNetworks() = default;
    explicit TGSMNetworks(const std::string& aFileName) { LoadFromFile(aFileName); }

    static std::unique_ptr<TGSMNetworks> CreateFromFile(const std::string& aFileName);

    // Replaces the list; raises ERefDataError naming the file when it cannot be read,
    // its length does not match its record count, or a record is damaged.
    void LoadFromFile(const std::string& aFileName);
    void LoadFromBytes(const std::string& aBytes, const std::string& aFileName);
    // The file form of the list, with the given 11-byte stamp.
    std::string SaveToBytes(const std::string& aStamp) const;

    const std::vector<std::unique_ptr<TGSMNetwork>>& GetAllNetworks() const { return fAllNetworks; }
    int Count() const { return static_cast<int>(fAllNetworks.size()); }
    void Add(std::unique_ptr<TGSMNetwork> aNetwork) { fAllNetworks.push_back(std::move(aNetwork)); }
    // The first carrier with the id, null when none.
    TGSMNetwork* GetNetworkByID(int aID) const;

private:
    std::vector<std::unique_ptr<TGSMNetwork>> fAllNetworks;
};

}  // namespace trawlix
