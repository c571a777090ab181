#include "tests/support/memory_files.h"

#include <cerrno>
#include <utility>

#include "wusb/system_error_text.h"

namespace trelvo_test {

namespace {

const char* Verb(MemoryFiles::Step step) {
    return step == MemoryFiles::Step::kRead ? "Nie można odczytać pliku"
                                            : "Nie można zapisać pliku";
}

}  // namespace

class MemoryFiles::Appender final : public wusb::AppendFile {
  public:
    Appender(MemoryFiles& files, std::string path, std::shared_ptr<Node> node)
        : files_(files), path_(std::move(path)), node_(std::move(node)) {}

    std::uint64_t Size() override {
        const std::lock_guard lock(files_.mutex_);
        return node_->content.size();
    }
    std::string ReadTail(std::uint64_t count) override {
        const std::lock_guard lock(files_.mutex_);
        files_.Attempt(Step::kRead, path_);
        const std::size_t size = node_->content.size();
        return node_->content.substr(count < size ? size - static_cast<std::size_t>(count) : 0);
    }
    void Append(std::string_view bytes) override {
        const std::lock_guard lock(files_.mutex_);
        files_.Attempt(Step::kWrite, path_, node_.get(), bytes);
        node_->content.append(bytes);
    }
    void Sync() override {
        const std::lock_guard lock(files_.mutex_);
        files_.Attempt(Step::kSync, path_);
        node_->synced = node_->content;
    }

  private:
    MemoryFiles& files_;
    std::string path_;
    std::shared_ptr<Node> node_;
};

int MemoryFiles::Count(Step step) const {
    const std::lock_guard lock(mutex_);
    return counts_[Index(step)];
}

bool MemoryFiles::Exists(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    return files_.count(path) != 0;
}

void MemoryFiles::FailAt(Step step, int nth, std::size_t keptBytes) {
    const std::lock_guard lock(mutex_);
    const int at = counts_[Index(step)] + nth;
    failures_[Index(step)].insert(at);
    if (step == Step::kWrite) {
        keptOnFailedWrite_[at] = keptBytes;
    }
}

void MemoryFiles::Attempt(Step step, const std::string& path, Node* node, std::string_view bytes) {
    const int number = ++counts_[Index(step)];
    if (failures_[Index(step)].erase(number) == 0) {
        return;
    }
    if (node != nullptr) {
        node->content.append(bytes.substr(0, keptOnFailedWrite_[number]));
    }
    throw wusb::FileError(std::string(Verb(step)) + " „" + path + "”: injected failure");
}

void MemoryFiles::Put(const std::string& path, std::string content) {
    const std::lock_guard lock(mutex_);
    auto node = std::make_shared<Node>();
    node->content = content;
    node->synced = std::move(content);
    files_[path] = std::move(node);
}

std::string MemoryFiles::Content(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    return found == files_.end() ? std::string() : found->second->content;
}

std::optional<std::string> MemoryFiles::AfterCrash(const std::string& path) const {
    const std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    if (found == files_.end()) {
        return std::nullopt;
    }
    return found->second->synced;
}

std::vector<std::string> MemoryFiles::Paths() const {
    const std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    for (const auto& entry : files_) {
        paths.push_back(entry.first);
    }
    return paths;
}

std::string MemoryFiles::ReadAll(const std::string& path, std::uint64_t limit) {
    const std::lock_guard lock(mutex_);
    const auto found = files_.find(path);
    if (found == files_.end()) {
        throw wusb::FileMissing(std::string(Verb(Step::kRead)) + " „" + path +
                                "”: " + wusb::SystemErrorText(ENOENT, path));
    }
    Attempt(Step::kRead, path);
    if (found->second->content.size() > limit) {
        throw wusb::FileTooLarge(path, limit);
    }
    return found->second->content;
}

// The same steps as the real ReplaceAll: write a temporary file, sync it, rename it over `path`.
// A failure removes the temporary file and leaves `path` as it was.
void MemoryFiles::ReplaceAll(const std::string& path, std::string_view content) {
    const std::lock_guard lock(mutex_);
    const std::string temporary = path + ".tmp-" + std::to_string(++temporaries_);
    auto node = std::make_shared<Node>();
    files_[temporary] = node;
    try {
        Attempt(Step::kWrite, path, node.get(), content);
        node->content.assign(content);
        Attempt(Step::kSync, path);
        node->synced = node->content;
        Attempt(Step::kRename, path);
    } catch (const wusb::FileError&) {
        files_.erase(temporary);
        throw;
    }
    files_.erase(temporary);
    files_[path] = std::move(node);
}

std::unique_ptr<wusb::AppendFile> MemoryFiles::OpenAppend(const std::string& path) {
    const std::lock_guard lock(mutex_);
    auto& node = files_[path];
    if (!node) {
        node = std::make_shared<Node>();
    }
    return std::make_unique<Appender>(*this, path, node);
}

}  // namespace trelvo_test
