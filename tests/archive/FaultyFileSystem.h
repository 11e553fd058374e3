#pragma once

// A file system in front of the real one that can make the n-th call of any
// operation fail, the way a full disk, a vanished file or a failing device
// would, and that counts the files still open.

#include <array>
#include <cerrno>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "AppError.h"
#include "FileSystem.h"

namespace halvarin::testing {

enum class Op {
  OpenRead,
  CreateNew,
  Write,
  Sync,
  Close,
  CopyPermissions,
  Rename,
  SyncFolder,
  Stat,
  Count
};

class FaultyFileSystem : public io::FileSystem {
 public:
  explicit FaultyFileSystem(io::FileSystem& real = io::FileSystem::Native()) : real_(real) {}

  // The `nth` call (1-based, counted from now) of `op` throws error `number`.
  void FailAt(Op op, int nth, int32_t number = errPathFileAccess) {
    failAt_[static_cast<int>(op)] = calls_[static_cast<int>(op)] + nth;
    failNumber_ = number;
  }
  int Calls(Op op) const { return calls_[static_cast<int>(op)]; }
  int OpenFiles() const { return openFiles_; }
  const std::vector<std::string>& Created() const { return created_; }

  std::unique_ptr<io::File> OpenRead(const std::string& path) override {
    Step(Op::OpenRead, path);
    return Wrap(real_.OpenRead(path));
  }
  std::unique_ptr<io::File> CreateNew(const std::string& path, uint32_t permissions) override {
    Step(Op::CreateNew, path);
    created_.push_back(path);
    return Wrap(real_.CreateNew(path, permissions));
  }
  io::FileInfo Stat(const std::string& path) override {
    Step(Op::Stat, path);
    return real_.Stat(path);
  }
  void CopyPermissions(io::File& file, const io::FileInfo& like) override {
    Step(Op::CopyPermissions, file.Path());
    real_.CopyPermissions(static_cast<Faulty&>(file).Real(), like);
  }
  std::string ResolveLinks(const std::string& path) override { return real_.ResolveLinks(path); }
  bool SameFile(const std::string& a, const std::string& b) override {
    return real_.SameFile(a, b);
  }
  void Rename(const std::string& from, const std::string& to) override {
    Step(Op::Rename, to);
    real_.Rename(from, to);
  }
  void Remove(const std::string& path) noexcept override { real_.Remove(path); }
  void SyncFolder(const std::string& folder) override {
    Step(Op::SyncFolder, folder);
    real_.SyncFolder(folder);
  }

 private:
  class Faulty final : public io::File {
   public:
    Faulty(FaultyFileSystem& owner, std::unique_ptr<io::File> real)
        : owner_(owner), real_(std::move(real)) {
      ++owner_.openFiles_;
    }
    ~Faulty() override { --owner_.openFiles_; }
    io::File& Real() { return *real_; }
    const std::string& Path() const override { return real_->Path(); }
    int64_t Size() override { return real_->Size(); }
    std::size_t ReadAt(int64_t offset, void* buffer, std::size_t length) override {
      return real_->ReadAt(offset, buffer, length);
    }
    void Write(const void* buffer, std::size_t length) override {
      if (owner_.Fails(Op::Write)) {
        // A full disk takes part of the data before it refuses the rest.
        real_->Write(buffer, length / 2);
        owner_.Throw("write", Path());
      }
      real_->Write(buffer, length);
    }
    void Sync() override {
      owner_.Step(Op::Sync, Path());
      real_->Sync();
    }
    void Close() override {
      owner_.Step(Op::Close, Path());
      real_->Close();
    }

   private:
    FaultyFileSystem& owner_;
    std::unique_ptr<io::File> real_;
  };

  std::unique_ptr<io::File> Wrap(std::unique_ptr<io::File> real) {
    if (!real)
      return nullptr;
    return std::make_unique<Faulty>(*this, std::move(real));
  }
  bool Fails(Op op) {
    const int i = static_cast<int>(op);
    return ++calls_[i] == failAt_[i];
  }
  void Step(Op op, const std::string& path) {
    if (Fails(op))
      Throw("use", path);
  }
  [[noreturn]] void Throw(const std::string& what, const std::string& path) {
    throw AppError(failNumber_, "test", "Injected failure to " + what + " \"" + path + "\".");
  }

  io::FileSystem& real_;
  std::array<int, static_cast<int>(Op::Count)> calls_{};
  std::array<int, static_cast<int>(Op::Count)> failAt_{};
  int32_t failNumber_ = errPathFileAccess;
  int openFiles_ = 0;
  std::vector<std::string> created_;
};

}  // namespace halvarin::testing
