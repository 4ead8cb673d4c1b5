#include "check/exe-version.h"

#include <stdlib.h>
#include <string.h>

#include "os/os.h"

namespace {

const uint32_t kResourceDirectory = 2;  // data directory entry
const uint32_t kVersionType = 16;       // RT_VERSION
const uint32_t kFixedInfoSignature = 0xFEEF04BD;
const uint32_t kSubdirectory = 0x80000000;
// VS_VERSIONINFO: three 16-bit fields and L"VS_VERSION_INFO", rounded up
// to 4 bytes, come before its VS_FIXEDFILEINFO.
const size_t kFixedInfoAt = (6 + sizeof "VS_VERSION_INFO" * 2 + 3) / 4 * 4;

// The image's bytes, every read bounds-checked.
struct Image {
  const unsigned char* bytes;
  size_t size;
};

bool Read16(const Image& image, size_t at, uint32_t* value) {
  if (at > image.size || image.size - at < 2)
    return false;
  *value = image.bytes[at] | image.bytes[at + 1] << 8;
  return true;
}

bool Read32(const Image& image, size_t at, uint32_t* value) {
  uint32_t low = 0, high = 0;
  if (!Read16(image, at, &low) || !Read16(image, at + 2, &high))
    return false;
  *value = low | high << 16;
  return true;
}

// The file offset of a relative virtual address, through the sections.
bool FileOffset(const Image& image, size_t sections, uint32_t count,
                uint32_t address, size_t* offset) {
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = sections + 40 * i;
    uint32_t virtual_size, virtual_address, raw_size, raw_at;
    if (!Read32(image, at + 8, &virtual_size) ||
        !Read32(image, at + 12, &virtual_address) ||
        !Read32(image, at + 16, &raw_size) || !Read32(image, at + 20, &raw_at))
      return false;
    uint32_t span = virtual_size > raw_size ? virtual_size : raw_size;
    if (address >= virtual_address && address - virtual_address < span) {
      *offset = static_cast<size_t>(raw_at) + (address - virtual_address);
      return true;
    }
  }
  return false;
}

// The entry of a resource directory with `id`, or its first entry when
// `id` is 0; its offset from the resource section's start.
bool DirectoryEntry(const Image& image, size_t resources, uint32_t directory,
                    uint32_t id, uint32_t* target) {
  uint32_t named, ids;
  size_t at = resources + directory;
  if (!Read16(image, at + 12, &named) || !Read16(image, at + 14, &ids))
    return false;
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint32_t name;
    if (!Read32(image, at + 16 + 8 * i, &name) ||
        !Read32(image, at + 20 + 8 * i, target))
      return false;
    if (id == 0 || name == id)
      return true;
  }
  return false;
}

}  // namespace

bool FindExeVersion(const unsigned char* bytes, size_t size,
                    ExeVersion* version) {
  Image image = {bytes, size};
  uint32_t header, sections, optional_size, resources_address, signature;
  if (size < 2 || bytes[0] != 'M' || bytes[1] != 'Z' ||
      !Read32(image, 0x3C, &header) || !Read32(image, header, &signature) ||
      signature != 0x00004550 || !Read16(image, header + 6, &sections) ||
      !Read16(image, header + 20, &optional_size) ||
      !Read32(image, header + 24 + 96 + 8 * kResourceDirectory,
              &resources_address))
    return false;
  size_t section_table = header + 24 + optional_size;
  size_t resources;
  if (resources_address == 0 ||
      !FileOffset(image, section_table, sections, resources_address,
                  &resources))
    return false;
  // Type, then name and language: the first of each.
  uint32_t entry = 0;
  if (!DirectoryEntry(image, resources, 0, kVersionType, &entry))
    return false;
  for (int level = 0; level < 2; ++level) {
    if (!(entry & kSubdirectory) ||
        !DirectoryEntry(image, resources, entry & ~kSubdirectory, 0, &entry))
      return false;
  }
  uint32_t data_address, fixed_signature, most, least;
  size_t data;
  if ((entry & kSubdirectory) ||
      !Read32(image, resources + entry, &data_address) ||
      !FileOffset(image, section_table, sections, data_address, &data) ||
      !Read32(image, data + kFixedInfoAt, &fixed_signature) ||
      fixed_signature != kFixedInfoSignature ||
      !Read32(image, data + kFixedInfoAt + 8, &most) ||
      !Read32(image, data + kFixedInfoAt + 12, &least))
    return false;
  version->parts[0] = static_cast<uint16_t>(most >> 16);
  version->parts[1] = static_cast<uint16_t>(most);
  version->parts[2] = static_cast<uint16_t>(least >> 16);
  version->parts[3] = static_cast<uint16_t>(least);
  return true;
}

bool ReadExeVersion(const char* path, ExeVersion* version) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return false;
  DWORD high = 0;
  DWORD size = GetFileSize(file, &high);
  bool found = false;
  unsigned char* bytes = nullptr;
  if (size != INVALID_FILE_SIZE && high == 0 && size <= kLargestExe)
    bytes = static_cast<unsigned char*>(malloc(size > 0 ? size : 1));
  DWORD read = 0;
  if (bytes != nullptr && ReadFile(file, bytes, size, &read, nullptr) &&
      read == size)
    found = FindExeVersion(bytes, size, version);
  free(bytes);
  CloseHandle(file);
  return found;
}
