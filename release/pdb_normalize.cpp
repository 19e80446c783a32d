// Makes the PDB that GNU ld (2.40) writes for VELDRIN.dll the same bytes for the
// same sources wherever they are built. ld puts three things into it that
// differ between builds:
//   - the info stream's time stamp (time(NULL) at the link);
//   - the full paths of the object files and libraries in the module list of
//     the DBI stream;
//   - the linker module's environment block: the working folder and the full
//     path of the PDB.
// This host tool reads the MSF container, sets the time stamp to the GUID's
// first four bytes (debuggers match a PDB 7 file by GUID and age, not by the
// time stamp), replaces each given folder prefix in those paths (the build
// folder by "build", the source folder by ".", as -ffile-prefix-map does for
// the DWARF information) and writes the container afresh with its blocks in
// stream order. It fails if a given prefix still shows anywhere in the file.
//
//   pdb_normalize IN.pdb OUT.pdb FROM=TO ...
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

const char kMagic[] = "Microsoft C/C++ MSF 7.00\r\n\x1a"
                      "DS\0\0";
constexpr size_t kMagicSize = 32;
constexpr uint16_t kEnvBlock = 0x113d; // S_ENVBLOCK
constexpr size_t kModInfoFixed = 64;   // a module record before its two names
constexpr uint32_t kNilStream = 0xffffffff;

struct Msf {
  uint32_t block_size = 0;
  uint32_t unknown = 0;
  std::vector<Bytes> streams;
  std::vector<bool> nil; // streams of size 0xffffffff
};

struct Prefix {
  std::string from, to;
};

uint32_t get32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24;
}
uint16_t get16(const uint8_t* p) {
  return uint16_t(p[0] | p[1] << 8);
}
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = uint8_t(v >> (8 * i));
}
void put16(uint8_t* p, uint16_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
}
void append32(Bytes& out, uint32_t v) {
  uint8_t b[4];
  put32(b, v);
  out.insert(out.end(), b, b + 4);
}

bool fail(const char* what) {
  fprintf(stderr, "pdb_normalize: %s\n", what);
  return false;
}

bool read_file(const char* path, Bytes& out) {
  FILE* f = fopen(path, "rb");
  if (f == nullptr)
    return false;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0)
    out.insert(out.end(), buf, buf + n);
  fclose(f);
  return true;
}

// The bytes of `count` blocks, their numbers at `list`, cut to `size`.
bool gather(const Bytes& file, uint32_t block_size, const uint8_t* list, uint32_t count,
            uint32_t size, Bytes& out) {
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t at = uint64_t(get32(list + 4 * i)) * block_size;
    if (at + block_size > file.size())
      return fail("a block past the end of the file");
    out.insert(out.end(), file.begin() + at, file.begin() + at + block_size);
  }
  out.resize(size);
  return true;
}

bool read_msf(const Bytes& file, Msf& msf) {
  if (file.size() < 56 || memcmp(file.data(), kMagic, kMagicSize) != 0)
    return fail("not an MSF 7.00 file");
  msf.block_size = get32(&file[32]);
  uint32_t dir_bytes = get32(&file[44]);
  msf.unknown = get32(&file[48]);
  uint32_t map_block = get32(&file[52]);
  uint32_t bs = msf.block_size;
  if (bs < 512 || (bs & (bs - 1)) != 0)
    return fail("an unusual block size");
  uint32_t dir_blocks = (dir_bytes + bs - 1) / bs;
  if (uint64_t(map_block + 1) * bs > file.size() || dir_blocks * 4 > bs)
    return fail("the directory's block map is out of place");
  Bytes dir;
  if (!gather(file, bs, &file[uint64_t(map_block) * bs], dir_blocks, dir_bytes, dir))
    return false;
  if (dir.size() < 4)
    return fail("an empty directory");
  uint32_t count = get32(dir.data());
  size_t at = 4 + size_t(count) * 4;
  if (at > dir.size())
    return fail("a short directory");
  for (uint32_t s = 0; s < count; ++s) {
    uint32_t size = get32(&dir[4 + 4 * s]);
    bool nil = size == kNilStream;
    uint32_t blocks = nil ? 0 : (size + bs - 1) / bs;
    if (at + size_t(blocks) * 4 > dir.size())
      return fail("a short directory");
    Bytes stream;
    if (!gather(file, bs, &dir[at], blocks, nil ? 0 : size, stream))
      return false;
    at += size_t(blocks) * 4;
    msf.streams.push_back(std::move(stream));
    msf.nil.push_back(nil);
  }
  return true;
}

// Blocks 1 and 2 of every block_size blocks hold the free block maps.
bool is_fpm_block(uint32_t block, uint32_t block_size) {
  uint32_t in_interval = block % block_size;
  return in_interval == 1 || in_interval == 2;
}

uint32_t next_block(uint32_t& next, uint32_t block_size) {
  while (is_fpm_block(next, block_size))
    ++next;
  return next++;
}

// Writes the container with every stream's blocks in stream order after the
// superblock, then the directory, then its block map; no free blocks.
bool write_msf(const char* path, const Msf& msf) {
  uint32_t bs = msf.block_size;
  uint32_t next = 1;
  Bytes dir;
  append32(dir, uint32_t(msf.streams.size()));
  for (size_t s = 0; s < msf.streams.size(); ++s)
    append32(dir, msf.nil[s] ? kNilStream : uint32_t(msf.streams[s].size()));
  std::vector<uint32_t> all_blocks;
  for (const Bytes& stream : msf.streams) {
    for (size_t at = 0; at < stream.size(); at += bs) {
      uint32_t block = next_block(next, bs);
      append32(dir, block);
      all_blocks.push_back(block);
    }
  }
  uint32_t dir_blocks = uint32_t((dir.size() + bs - 1) / bs);
  if (dir_blocks * 4 > bs)
    return fail("the directory needs more than one block map block");
  std::vector<uint32_t> dir_at;
  for (uint32_t i = 0; i < dir_blocks; ++i)
    dir_at.push_back(next_block(next, bs));
  uint32_t map_block = next_block(next, bs);
  uint32_t num_blocks = next;

  Bytes file(size_t(num_blocks) * bs, 0);
  memcpy(file.data(), kMagic, kMagicSize);
  put32(&file[32], bs);
  put32(&file[36], 1);
  put32(&file[40], num_blocks);
  put32(&file[44], uint32_t(dir.size()));
  put32(&file[48], msf.unknown);
  put32(&file[52], map_block);
  size_t i = 0;
  for (const Bytes& stream : msf.streams) {
    for (size_t at = 0; at < stream.size(); at += bs, ++i) {
      size_t n = stream.size() - at < bs ? stream.size() - at : bs;
      memcpy(&file[size_t(all_blocks[i]) * bs], &stream[at], n);
    }
  }
  for (uint32_t d = 0; d < dir_blocks; ++d) {
    size_t n = dir.size() - size_t(d) * bs < bs ? dir.size() - size_t(d) * bs : bs;
    memcpy(&file[size_t(dir_at[d]) * bs], &dir[size_t(d) * bs], n);
    put32(&file[size_t(map_block) * bs + 4 * d], dir_at[d]);
  }
  // Both free block maps: a bit per block, 1 for free; every block in the
  // file is in use, bits past its end are free.
  for (uint32_t block = 0; block < num_blocks; ++block) {
    if (block % bs != 1)
      continue;
    for (uint32_t fpm = block; fpm < block + 2 && fpm < num_blocks; ++fpm) {
      uint8_t* map = &file[size_t(fpm) * bs];
      memset(map, 0xff, bs);
      // This interval's FPM block holds bits for blocks [k*bs*8, (k+1)*bs*8).
      uint64_t first = uint64_t(block / bs) * bs * 8;
      for (uint64_t b = first; b < first + uint64_t(bs) * 8 && b < num_blocks; ++b)
        map[(b - first) / 8] &= uint8_t(~(1u << ((b - first) % 8)));
    }
  }
  FILE* f = fopen(path, "wb");
  if (f == nullptr)
    return fail("cannot write the output file");
  bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
  return (fclose(f) == 0 && ok) || fail("cannot write the output file");
}

std::string mapped(const std::string& path, const std::vector<Prefix>& prefixes) {
  for (const Prefix& p : prefixes) {
    if (path.compare(0, p.from.size(), p.from) == 0 &&
        (path.size() == p.from.size() || path[p.from.size()] == '/'))
      return p.to + path.substr(p.from.size());
  }
  return path;
}

// A NUL-terminated string at `at` in `bytes`, or false past `end`.
bool string_at(const Bytes& bytes, size_t at, size_t end, std::string& out) {
  if (at >= end)
    return false;
  const void* nul = memchr(&bytes[at], 0, end - at);
  if (nul == nullptr)
    return false;
  out.assign(reinterpret_cast<const char*>(&bytes[at]),
             static_cast<const uint8_t*>(nul) - &bytes[at]);
  return true;
}

void append_string(Bytes& out, const std::string& s) {
  out.insert(out.end(), s.begin(), s.end());
  out.push_back(0);
}

// The linker module's symbols: the environment block's strings mapped, its
// record padded to four bytes again. Returns the new symbol byte count.
bool fix_module_symbols(Bytes& stream, uint32_t sym_bytes, const std::vector<Prefix>& prefixes,
                        uint32_t& new_sym_bytes) {
  if (sym_bytes < 4 || sym_bytes > stream.size())
    return fail("a module's symbols run past its stream");
  Bytes out(stream.begin(), stream.begin() + 4); // the CodeView signature
  size_t at = 4;
  while (at < sym_bytes) {
    if (at + 4 > sym_bytes)
      return fail("a short symbol record");
    size_t end = at + 2 + get16(&stream[at]);
    if (end > sym_bytes)
      return fail("a symbol record runs past the module's symbols");
    if (get16(&stream[at + 2]) != kEnvBlock) {
      out.insert(out.end(), stream.begin() + at, stream.begin() + end);
      at = end;
      continue;
    }
    Bytes record(stream.begin() + at, stream.begin() + at + 5); // length, kind, flags
    std::string key, value;
    size_t p = at + 5;
    while (string_at(stream, p, end, key) && !key.empty()) {
      p += key.size() + 1;
      if (!string_at(stream, p, end, value))
        return fail("an environment block key without a value");
      p += value.size() + 1;
      append_string(record, key);
      append_string(record, mapped(value, prefixes));
    }
    while (record.size() % 4 != 0)
      record.push_back(0);
    put16(&record[0], uint16_t(record.size() - 2));
    out.insert(out.end(), record.begin(), record.end());
    at = end;
  }
  new_sym_bytes = uint32_t(out.size());
  out.insert(out.end(), stream.begin() + sym_bytes, stream.end());
  stream = std::move(out);
  return true;
}

// The DBI stream's module list: both names of every module mapped; the
// linker module's symbols fixed in its own stream.
bool fix_dbi(Msf& msf, const std::vector<Prefix>& prefixes) {
  if (msf.streams.size() < 4 || msf.streams[3].size() < 64)
    return fail("no DBI stream");
  Bytes& dbi = msf.streams[3];
  uint32_t mod_size = get32(&dbi[24]);
  if (64 + uint64_t(mod_size) > dbi.size())
    return fail("the module list runs past the DBI stream");
  Bytes mods;
  size_t at = 64, end = 64 + mod_size;
  while (at < end) {
    if (at + kModInfoFixed > end)
      return fail("a short module record");
    Bytes record(dbi.begin() + at, dbi.begin() + at + kModInfoFixed);
    std::string module, object;
    size_t p = at + kModInfoFixed;
    if (!string_at(dbi, p, end, module) || !string_at(dbi, p + module.size() + 1, end, object))
      return fail("a module record without its names");
    p += module.size() + object.size() + 2;
    at = (p - 64 + 3) / 4 * 4 + 64;
    uint16_t sym_stream = get16(&record[34]);
    if (module == "* Linker *" && sym_stream < msf.streams.size()) {
      uint32_t sym_bytes = 0;
      if (!fix_module_symbols(msf.streams[sym_stream], get32(&record[36]), prefixes, sym_bytes))
        return false;
      put32(&record[36], sym_bytes);
    }
    append_string(record, mapped(module, prefixes));
    append_string(record, mapped(object, prefixes));
    while (record.size() % 4 != 0)
      record.push_back(0);
    mods.insert(mods.end(), record.begin(), record.end());
  }
  Bytes out(dbi.begin(), dbi.begin() + 64);
  put32(&out[24], uint32_t(mods.size()));
  out.insert(out.end(), mods.begin(), mods.end());
  out.insert(out.end(), dbi.begin() + end, dbi.end());
  dbi = std::move(out);
  return true;
}

bool shows(const Bytes& bytes, const std::string& text) {
  return !text.empty() &&
         std::search(bytes.begin(), bytes.end(), text.begin(), text.end()) != bytes.end();
}

} // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: pdb_normalize IN.pdb OUT.pdb FROM=TO ...\n");
    return 2;
  }
  std::vector<Prefix> prefixes;
  for (int i = 3; i < argc; ++i) {
    const char* eq = strchr(argv[i], '=');
    if (eq == nullptr || eq == argv[i])
      return fail("a prefix without FROM=TO"), 2;
    prefixes.push_back({std::string(argv[i], size_t(eq - argv[i])), eq + 1});
  }
  Bytes file;
  Msf msf;
  if (!read_file(argv[1], file))
    return fail("cannot read the input file"), 1;
  if (!read_msf(file, msf))
    return 1;
  if (msf.streams.size() < 2 || msf.streams[1].size() < 28)
    return fail("no PDB info stream"), 1;
  // Info stream: version, time stamp, age, GUID.
  Bytes& info = msf.streams[1];
  memcpy(&info[4], &info[12], 4);
  if (!fix_dbi(msf, prefixes))
    return 1;
  for (size_t s = 0; s < msf.streams.size(); ++s) {
    for (const Prefix& p : prefixes) {
      if (shows(msf.streams[s], p.from)) {
        fprintf(stderr, "pdb_normalize: stream %zu still holds %s\n", s, p.from.c_str());
        return 1;
      }
    }
  }
  return write_msf(argv[2], msf) ? 0 : 1;
}
