// Files kept in memory for tests: any write, sync, rename or read can be made to fail, and the
// state a crash would leave behind (only what was synced) can be inspected at any moment. Safe
// to use from several threads, as a program writing a log from a worker thread does.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "wusb/files.h"

namespace trelvo_test {

class MemoryFiles final : public wusb::Files {
  public:
    enum class Step { kWrite, kSync, kRename, kRead };

    // The `nth` step of that kind from now (1 = the next one) throws wusb::FileError. A failing
    // write still stores its first `keptBytes` bytes, as a short write before an error does.
    void FailAt(Step step, int nth, std::size_t keptBytes = 0);
    // Steps of that kind tried so far, failed ones included.
    int Count(Step step) const;

    // A file that exists and is already on the storage device.
    void Put(const std::string& path, std::string content);
    bool Exists(const std::string& path) const;
    // What the program reads now; empty when the file does not exist.
    std::string Content(const std::string& path) const;
    // What a crash now would leave: the synced bytes, or nothing when the file would not exist.
    std::optional<std::string> AfterCrash(const std::string& path) const;
    std::vector<std::string> Paths() const;

    std::string ReadAll(const std::string& path, std::uint64_t limit) override;
    void ReplaceAll(const std::string& path, std::string_view content) override;
    std::unique_ptr<wusb::AppendFile> OpenAppend(const std::string& path) override;

  private:
    struct Node {
        std::string content;  // as the program sees it
        std::string synced;   // as the storage device holds it
    };
    class Appender;

    static std::size_t Index(Step step) { return static_cast<std::size_t>(step); }
    // Counts the step (the caller holds mutex_); throws (after keeping a prefix of `bytes`, for
    // writes) when it is to fail.
    void Attempt(Step step, const std::string& path, Node* node = nullptr,
                 std::string_view bytes = {});

    // Shared, so an open AppendFile keeps writing to its file after a rename replaced the name.
    mutable std::mutex mutex_;
    std::map<std::string, std::shared_ptr<Node>> files_;
    std::array<int, 4> counts_{};
    std::array<std::set<int>, 4> failures_;
    std::map<int, std::size_t> keptOnFailedWrite_;
    int temporaries_ = 0;
};

}  // namespace trelvo_test
