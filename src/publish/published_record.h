#pragma once

#include <map>
#include <string>
#include <utility>
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
    std::vector<std::string> files(const std::string& destination) const;
    /// True when the last publish to `destination` completed with exactly these files (byte
    /// order), each with the same size and time (`stamps`) as now: nothing to send or delete.
    bool unchanged(const std::string& destination, const std::vector<std::string>& files,
                   const std::vector<std::string>& stamps) const;
    /// Of `files` (byte order, with their `stamps`), those not known to be on `destination` as
    /// they are now: new, changed since, or sent by a publish that did not complete.
    std::vector<std::string> changed(const std::string& destination,
                                     const std::vector<std::string>& files,
                                     const std::vector<std::string>& stamps) const;
    /// Replaces what was published to `destination`: with each file's stamp once the server
    /// holds them, without (`stamps` empty) for files that may be on the server.
    void set(const std::string& destination, const std::vector<std::string>& files,
             const std::vector<std::string>& stamps = {});
    /// Replaces the record atomically. false when it cannot; `error` then says why.
    bool save(const std::string& siteFolder, std::string& error) const;

  private:
    /// Per server, each file and its stamp ("-": may be there, not known to be whole).
    std::map<std::string, std::vector<std::pair<std::string, std::string>>> published_;
};

} // namespace mivo
