#pragma once

// A file system in front of the real one that can make the n-th call of any
// operation fail, the way a full disk, a vanished file or a failing device
// would, or let something happen to the files right before it (another
// program truncating the archive, say), that can find the archive's lock
// held by another process, and that counts the files still open.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AppError.h"
#include "FileSystem.h"

namespace halvarin::testing {

enum class Op {
  OpenRead,
  CreateNew,
  Read,
  Write,
  Sync,
  Close,
  CopyPermissions,
  Rename,
  SyncFolder,
  Stat,
  CopyRange,
  CopyAttributes,
  SyncFiles,
  Count
};

class FaultyFileSystem : public io::FileSystem {
 public:
  using Handle = std::unique_ptr<io::File>;
  explicit FaultyFileSystem(io::FileSystem& real = io::FileSystem::Native()) : real_(real) {}

  // The `nth` call (1-based, counted from now) of `op` throws error `number`.
  void FailAt(Op op, int nth, int32_t number = errPathFileAccess) {
    failAt_[int(op)] = calls_[int(op)] + nth;
    failNumber_ = number;
  }
  // Runs `action` right before the `nth` call of `op` (counted from now).
  void Before(Op op, int nth, std::function<void()> action) {
    hookAt_[int(op)] = calls_[int(op)] + nth;
    hooks_[int(op)] = std::move(action);
  }
  // Runs `action` before every counted call, whatever its kind.
  void BeforeEach(std::function<void()> action) { each_ = std::move(action); }
  // Data copies go to the real file system's own copy (the kernel's) rather
  // than through Read and Write calls that can be made to fail.
  void CopyNatively(bool native) { native_ = native; }
  // Injected failures name their file in the error's path alone, not in
  // their text: whatever must know the file has to look there.
  void Unnamed(bool unnamed) { unnamed_ = unnamed; }
  // The next `tries` attempts at a lock find it held by another process.
  void LockHeldFor(int tries) { lockHeld_ = tries; }
  int Calls(Op op) const { return calls_[int(op)]; }
  int OpenFiles() const { return openFiles_; }
  const std::vector<std::string>& Created() const { return created_; }

  using Str = const std::string&;
  Handle OpenRead(Str p) override { return Step(Op::OpenRead, p), Wrap(real_.OpenRead(p)); }
  Handle CreateNew(Str p, uint32_t mode) override {
    return Step(Op::CreateNew, p), created_.push_back(p), Wrap(real_.CreateNew(p, mode));
  }
  io::FileInfo Stat(Str p) override { return Step(Op::Stat, p), real_.Stat(p); }
  io::FileInfo LinkStat(Str p) override { return Step(Op::Stat, p), real_.LinkStat(p); }
  void CopyPermissions(io::File& file, const io::FileInfo& like) override {
    Step(Op::CopyPermissions, file.Path()), real_.CopyPermissions(Real(file), like);
  }
  bool SetOwner(io::File& f, const io::FileInfo& l) override { return real_.SetOwner(Real(f), l); }
  void CopyAttributes(Str from, io::File& to) override {
    Step(Op::CopyAttributes, to.Path()), real_.CopyAttributes(from, Real(to));
  }
  Handle TryLockFile(Str p) override {
    return lockHeld_ > 0 ? (--lockHeld_, nullptr) : real_.TryLockFile(p);
  }
  bool RenameIfUnchanged(Str from, Str to, const std::optional<io::FileStamp>& stamp) override {
    return Step(Op::Rename, to), real_.RenameIfUnchanged(from, to, stamp);
  }
  std::string ResolveLinks(Str p) override { return real_.ResolveLinks(p); }
  bool SameFile(Str a, Str b) override { return real_.SameFile(a, b); }
  void Rename(Str from, Str to) override { Step(Op::Rename, to), real_.Rename(from, to); }
  void Remove(Str p) noexcept override { real_.Remove(p); }
  void SyncFolder(Str f) override { Step(Op::SyncFolder, f), real_.SyncFolder(f); }
  // A failure names a file in the middle, as a failing disk would name one of them.
  void SyncFiles(const std::vector<std::string>& paths) override {
    Step(Op::SyncFiles, paths.empty() ? "" : paths[paths.size() / 2]), real_.SyncFiles(paths);
  }
  void CopyRange(io::File& from, int64_t offset, io::File& to, int64_t length) override {
    Step(Op::CopyRange, to.Path());
    native_ ? real_.CopyRange(Real(from), offset, Real(to), length)
            : io::FileSystem::CopyRange(from, offset, to, length);
  }

 private:
  class Faulty final : public io::File {
   public:
    Faulty(FaultyFileSystem& owner, Handle real) : owner_(owner), real_(std::move(real)) {
      ++owner_.openFiles_;
    }
    ~Faulty() override { --owner_.openFiles_; }
    io::File& Real() { return *real_; }
    const std::string& Path() const override { return real_->Path(); }
    int64_t Size() override { return real_->Size(); }
    io::FileStamp Stamp() override { return real_->Stamp(); }
    std::size_t ReadAt(int64_t offset, void* buffer, std::size_t length) override {
      return owner_.Step(Op::Read, Path()), real_->ReadAt(offset, buffer, length);
    }
    void Write(const void* buffer, std::size_t length) override {
      const bool fails = owner_.Fails(Op::Write);
      // A full disk takes part of the data before it refuses the rest.
      real_->Write(buffer, fails ? length / 2 : length);
      fails ? owner_.Throw("write", Path()) : void();
    }
    void WriteAt(int64_t offset, const void* buffer, std::size_t length) override {
      owner_.Step(Op::Write, Path()), real_->WriteAt(offset, buffer, length);
    }
    void Sync() override { owner_.Step(Op::Sync, Path()), real_->Sync(); }
    void Close() override { owner_.Step(Op::Close, Path()), real_->Close(); }

   private:
    FaultyFileSystem& owner_;
    Handle real_;
  };

  static io::File& Real(io::File& file) { return static_cast<Faulty&>(file).Real(); }
  Handle Wrap(Handle real) {
    return real ? std::make_unique<Faulty>(*this, std::move(real)) : nullptr;
  }
  bool Fails(Op op) {
    each_ ? each_() : void();
    ++calls_[int(op)] == hookAt_[int(op)] ? hooks_[int(op)]() : void();
    return calls_[int(op)] == failAt_[int(op)];
  }
  void Step(Op op, const std::string& path) { Fails(op) ? Throw("use", path) : void(); }
  [[noreturn]] void Throw(const std::string& what, const std::string& path) {
    const std::string named = unnamed_ ? "" : " \"" + path + "\"";
    throw AppError(failNumber_, "test", "Injected failure to " + what + named + ".", path);
  }

  io::FileSystem& real_;
  std::array<int, int(Op::Count)> calls_{}, failAt_{}, hookAt_{};
  std::array<std::function<void()>, int(Op::Count)> hooks_;
  std::function<void()> each_;
  bool native_ = false, unnamed_ = false;
  int lockHeld_ = 0;
  int32_t failNumber_ = errPathFileAccess;
  int openFiles_ = 0;
  std::vector<std::string> created_;
};

}  // namespace halvarin::testing
