#pragma once

#include <map>
#include <string>
#include <vector>

namespace mivo {

/// What Mivo published from one site folder, per server: the record .mivo-published in the
/// site folder. A file on a server is only ever deleted when this record names it for that
/// server and the site no longer holds it, so that files put there by hand, or published to
/// another server, are never touched.
class PublishedRecord {
  public:
    /// Reads the record of `siteFolder`; a folder without one has published nothing. Lines that
    /// name no publishable path (a "..", an absolute path) are left out. false when it exists
    /// but cannot be read; `error` then says why.
    bool load(const std::string& siteFolder, std::string& error);
    /// The files published to `destination`, in byte order.
    const std::vector<std::string>& files(const std::string& destination) const;
    /// Replaces what was published to `destination`.
    void set(const std::string& destination, std::vector<std::string> files);
    /// Replaces the record atomically. false when it cannot; `error` then says why.
    bool save(const std::string& siteFolder, std::string& error) const;

  private:
    std::map<std::string, std::vector<std::string>> published_;
};

} // namespace mivo
