#include "support/pe_builder.h"

#include <algorithm>
#include <stdexcept>

namespace tessor::testing {

namespace {

std::uint32_t AlignUp(std::uint64_t value, std::uint32_t alignment) {
  if (alignment == 0) return static_cast<std::uint32_t>(value);
  return static_cast<std::uint32_t>((value + alignment - 1) / alignment * alignment);
}

// A section the builder generates: its bytes are written once its RVA is known.
struct Planned {
  SectionDef def;
  enum class Kind { User, Imports, Exports, Debug } kind = Kind::User;
  std::uint32_t size = 0;  // generated sections: content size
};

void PutName(Bytes& bytes, std::uint64_t offset, const std::string& text) {
  PutText(bytes, offset, text);
  PutU8(bytes, offset + text.size(), 0);
}

}  // namespace

void PutU8(Bytes& bytes, std::uint64_t offset, std::uint8_t value) {
  if (offset >= bytes.size()) bytes.resize(static_cast<std::size_t>(offset) + 1, 0);
  bytes[static_cast<std::size_t>(offset)] = value;
}

void PutU16(Bytes& bytes, std::uint64_t offset, std::uint16_t value) {
  for (int i = 0; i < 2; ++i) PutU8(bytes, offset + i, static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutU32(Bytes& bytes, std::uint64_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) PutU8(bytes, offset + i, static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutU64(Bytes& bytes, std::uint64_t offset, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) PutU8(bytes, offset + i, static_cast<std::uint8_t>(value >> (8 * i)));
}

void PutBytes(Bytes& bytes, std::uint64_t offset, const Bytes& value) {
  for (std::size_t i = 0; i < value.size(); ++i) PutU8(bytes, offset + i, value[i]);
}

void PutText(Bytes& bytes, std::uint64_t offset, std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) PutU8(bytes, offset + i, static_cast<std::uint8_t>(text[i]));
}

void Truncate(Bytes& bytes, std::uint64_t size) {
  if (size < bytes.size()) bytes.resize(static_cast<std::size_t>(size));
}

Bytes ToBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string HexText(std::uint64_t value, int digits) {
  std::string text(static_cast<std::size_t>(digits), '0');
  for (int i = digits - 1; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = "0123456789ABCDEF"[value & 15];
  return text;
}

std::uint64_t PeImage::OffsetOf(std::uint32_t rva) const {
  for (const auto& s : sections) {
    const std::uint32_t extent = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.rva && rva < s.rva + extent) return s.rawOffset + (rva - s.rva);
  }
  throw std::out_of_range("RVA outside every built section");
}

std::uint64_t PeImage::DataDirectoryOffset(int index) const {
  const std::uint64_t first = optionalHeaderOffset + (kind == ImageKind::Pe32Plus ? 112 : 96);
  return first + 8 * static_cast<std::uint64_t>(index);
}

PeBuilder& PeBuilder::AddSection(SectionDef section) {
  sections_.push_back(std::move(section));
  return *this;
}

PeBuilder& PeBuilder::AddImport(ImportDll dll) {
  imports_.push_back(std::move(dll));
  return *this;
}

PeBuilder& PeBuilder::SetExports(ExportDef exports) {
  exports_ = std::move(exports);
  return *this;
}

PeBuilder& PeBuilder::AddDebugEntry(DebugEntry entry) {
  debug_.push_back(entry);
  return *this;
}

PeBuilder& PeBuilder::Append(const Bytes& bytes) {
  overlay_.insert(overlay_.end(), bytes.begin(), bytes.end());
  return *this;
}

PeImage PeBuilder::Build() const {
  const bool plus = kind_ == ImageKind::Pe32Plus;
  const std::uint32_t thunk = plus ? 8 : 4;
  const HeaderFields& h = headers_;

  // Plan the sections: the caller's, then the generated ones with their content sizes.
  std::vector<Planned> plan;
  for (const auto& s : sections_) plan.push_back({s, Planned::Kind::User, 0});
  if (!imports_.empty()) {
    std::uint32_t size = 20 * static_cast<std::uint32_t>(imports_.size() + 1);
    for (const auto& dll : imports_) {
      const auto slots = static_cast<std::uint32_t>(dll.functions.size() + 1) * thunk;
      size += slots * (dll.withLookup ? 2 : 1);
      for (const auto& f : dll.functions)
        if (!f.name.empty()) size += AlignUp(2 + f.name.size() + 1, 2);
      size += static_cast<std::uint32_t>(dll.name.size() + 1);
    }
    plan.push_back({{".idata", {}, kData, std::nullopt, std::nullopt}, Planned::Kind::Imports, size});
  }
  if (exports_) {
    std::uint32_t size = 40 + 4 * static_cast<std::uint32_t>(exports_->functions.size());
    for (const auto& f : exports_->functions)
      if (!f.name.empty()) size += 4 + 2 + static_cast<std::uint32_t>(f.name.size() + 1);
    size += static_cast<std::uint32_t>(exports_->moduleName.size() + 1);
    plan.push_back({{".edata", {}, 0x40000040, std::nullopt, std::nullopt}, Planned::Kind::Exports, size});
  }
  if (!debug_.empty()) {
    plan.push_back({{".rdata", {}, 0x40000040, std::nullopt, std::nullopt}, Planned::Kind::Debug,
                    28 * static_cast<std::uint32_t>(debug_.size())});
  }

  PeImage image;
  image.kind = kind_;
  image.ntOffset = h.e_lfanew;
  image.optionalHeaderOffset = image.ntOffset + 24;
  const std::uint16_t optionalSize = h.sizeOfOptionalHeader.value_or(plus ? 240 : 224);
  image.sectionTableOffset = image.optionalHeaderOffset + optionalSize;
  const std::uint64_t headersEnd = image.sectionTableOffset + 40 * plan.size();
  const std::uint32_t sizeOfHeaders = h.sizeOfHeaders.value_or(AlignUp(headersEnd, h.fileAlignment));

  // Addresses and file positions.
  std::uint32_t nextRva = AlignUp(std::max<std::uint64_t>(headersEnd, 1), h.sectionAlignment);
  std::uint32_t nextRaw = AlignUp(std::max<std::uint64_t>(headersEnd, sizeOfHeaders), h.fileAlignment);
  for (auto& p : plan) {
    const std::uint32_t dataSize =
        p.kind == Planned::Kind::User ? static_cast<std::uint32_t>(p.def.data.size()) : p.size;
    BuiltSection s;
    s.name = p.def.name.substr(0, 8);
    s.rva = p.def.rva.value_or(nextRva);
    s.virtualSize = p.def.virtualSize.value_or(dataSize);
    if (dataSize > 0) {
      s.rawOffset = nextRaw;
      s.rawSize = AlignUp(dataSize, h.fileAlignment);
      nextRaw += s.rawSize;
    }
    nextRva = AlignUp(std::uint64_t{s.rva} + std::max(s.virtualSize, s.rawSize), h.sectionAlignment);
    if (nextRva == s.rva) nextRva += h.sectionAlignment;
    image.sections.push_back(s);
  }
  image.overlayOffset = std::max<std::uint32_t>(nextRaw, sizeOfHeaders);
  Bytes& b = image.bytes;
  b.assign(static_cast<std::size_t>(image.overlayOffset), 0);

  // Section contents.
  for (std::size_t i = 0; i < plan.size(); ++i) {
    const auto& p = plan[i];
    const auto& s = image.sections[i];
    const std::uint64_t at = s.rawOffset;
    switch (p.kind) {
      case Planned::Kind::User:
        PutBytes(b, at, p.def.data);
        break;
      case Planned::Kind::Imports: {
        image.importRva = s.rva;
        std::uint32_t cursor = 20 * static_cast<std::uint32_t>(imports_.size() + 1);
        image.imports.resize(imports_.size());
        for (std::size_t d = 0; d < imports_.size(); ++d) {
          const auto slots = static_cast<std::uint32_t>(imports_[d].functions.size() + 1) * thunk;
          image.imports[d].descriptorRva = s.rva + 20 * static_cast<std::uint32_t>(d);
          if (imports_[d].withLookup) {
            image.imports[d].lookupRva = s.rva + cursor;
            cursor += slots;
          }
        }
        for (std::size_t d = 0; d < imports_.size(); ++d) {
          image.imports[d].firstThunkRva = s.rva + cursor;
          cursor += static_cast<std::uint32_t>(imports_[d].functions.size() + 1) * thunk;
        }
        for (std::size_t d = 0; d < imports_.size(); ++d) {
          auto& built = image.imports[d];
          for (const auto& f : imports_[d].functions) {
            if (f.name.empty()) {
              built.hintNameRvas.push_back(0);
              continue;
            }
            built.hintNameRvas.push_back(s.rva + cursor);
            PutU16(b, at + cursor, f.hint);
            PutName(b, at + cursor + 2, f.name);
            cursor += AlignUp(2 + f.name.size() + 1, 2);
          }
        }
        for (std::size_t d = 0; d < imports_.size(); ++d) {
          image.imports[d].nameRva = s.rva + cursor;
          PutName(b, at + cursor, imports_[d].name);
          cursor += static_cast<std::uint32_t>(imports_[d].name.size() + 1);
        }
        for (std::size_t d = 0; d < imports_.size(); ++d) {
          const auto& built = image.imports[d];
          const std::uint64_t desc = at + 20 * d;
          PutU32(b, desc + 0, built.lookupRva);
          PutU32(b, desc + 12, built.nameRva);
          PutU32(b, desc + 16, built.firstThunkRva);
          const auto& functions = imports_[d].functions;
          for (std::size_t k = 0; k < functions.size(); ++k) {
            const std::uint64_t value =
                functions[k].name.empty()
                    ? (plus ? 0x8000000000000000ull : 0x80000000ull) | functions[k].ordinal
                    : built.hintNameRvas[k];
            for (std::uint32_t table : {built.lookupRva, built.firstThunkRva}) {
              if (table == 0) continue;
              const std::uint64_t slot = at + (table - s.rva) + thunk * k;
              if (plus) PutU64(b, slot, value); else PutU32(b, slot, static_cast<std::uint32_t>(value));
            }
          }
        }
        break;
      }
      case Planned::Kind::Exports: {
        const auto& e = *exports_;
        image.exportRva = s.rva;
        std::uint32_t named = 0;
        for (const auto& f : e.functions) named += f.name.empty() ? 0 : 1;
        const auto count = static_cast<std::uint32_t>(e.functions.size());
        image.functionsRva = s.rva + 40;
        image.namesRva = image.functionsRva + 4 * count;
        image.ordinalsRva = image.namesRva + 4 * named;
        image.exportNameRva = image.ordinalsRva + 2 * named;
        PutU32(b, at + 0, e.characteristics);
        PutU32(b, at + 4, e.timeDateStamp);
        PutU16(b, at + 8, e.majorVersion);
        PutU16(b, at + 10, e.minorVersion);
        PutU32(b, at + 12, image.exportNameRva);
        PutU32(b, at + 16, e.base);
        PutU32(b, at + 20, count);
        PutU32(b, at + 24, named);
        PutU32(b, at + 28, image.functionsRva);
        PutU32(b, at + 32, image.namesRva);
        PutU32(b, at + 36, image.ordinalsRva);
        PutName(b, at + (image.exportNameRva - s.rva), e.moduleName);
        std::uint32_t nameRva = image.exportNameRva + static_cast<std::uint32_t>(e.moduleName.size() + 1);
        std::uint32_t n = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
          const auto& f = e.functions[i];
          PutU32(b, at + (image.functionsRva - s.rva) + 4 * i, f.rva);
          if (f.name.empty()) continue;
          PutU32(b, at + (image.namesRva - s.rva) + 4 * n, nameRva);
          PutU16(b, at + (image.ordinalsRva - s.rva) + 2 * n, static_cast<std::uint16_t>(i));
          PutName(b, at + (nameRva - s.rva), f.name);
          nameRva += static_cast<std::uint32_t>(f.name.size() + 1);
          ++n;
        }
        break;
      }
      case Planned::Kind::Debug: {
        image.debugRva = s.rva;
        for (std::size_t i = 0; i < debug_.size(); ++i) {
          const auto& d = debug_[i];
          const std::uint64_t e = at + 28 * i;
          PutU32(b, e + 0, d.characteristics);
          PutU32(b, e + 4, d.timeDateStamp);
          PutU16(b, e + 8, d.majorVersion);
          PutU16(b, e + 10, d.minorVersion);
          PutU32(b, e + 12, d.type);
          PutU32(b, e + 16, d.sizeOfData);
          PutU32(b, e + 20, d.addressOfRawData);
          PutU32(b, e + 24, d.pointerToRawData);
        }
        break;
      }
    }
  }

  // DOS header.
  PutText(b, 0, "MZ");
  PutU32(b, 60, h.e_lfanew);

  // NT headers: signature, file header, optional header.
  const std::uint64_t nt = image.ntOffset;
  PutText(b, nt, std::string_view("PE\0\0", 4));
  PutU16(b, nt + 4, h.machine.value_or(plus ? kMachineX64 : kMachineI386));
  PutU16(b, nt + 6, static_cast<std::uint16_t>(plan.size()));
  PutU32(b, nt + 8, h.timeDateStamp);
  PutU16(b, nt + 20, optionalSize);
  PutU16(b, nt + 22, h.characteristics);

  const std::uint64_t o = image.optionalHeaderOffset;
  std::uint32_t sizeOfImage = AlignUp(headersEnd, h.sectionAlignment);
  for (const auto& s : image.sections)
    sizeOfImage = std::max(sizeOfImage, AlignUp(std::uint64_t{s.rva} + std::max(s.virtualSize, s.rawSize),
                                                h.sectionAlignment));
  PutU16(b, o + 0, h.magic.value_or(plus ? 0x20B : 0x10B));
  PutU8(b, o + 2, h.majorLinkerVersion);
  PutU8(b, o + 3, h.minorLinkerVersion);
  PutU32(b, o + 16, h.addressOfEntryPoint);
  PutU32(b, o + 20, h.baseOfCode);
  if (plus) {
    PutU64(b, o + 24, h.imageBase.value_or(0x140000000ull));
  } else {
    PutU32(b, o + 24, h.baseOfData);
    PutU32(b, o + 28, static_cast<std::uint32_t>(h.imageBase.value_or(0x400000)));
  }
  PutU32(b, o + 32, h.sectionAlignment);
  PutU32(b, o + 36, h.fileAlignment);
  PutU16(b, o + 40, 4);  // MajorOperatingSystemVersion
  PutU16(b, o + 48, 4);  // MajorSubsystemVersion
  PutU32(b, o + 56, h.sizeOfImage.value_or(sizeOfImage));
  PutU32(b, o + 60, sizeOfHeaders);
  PutU32(b, o + 64, h.checkSum);
  PutU16(b, o + 68, h.subsystem);
  PutU32(b, o + (plus ? 108 : 92), h.numberOfRvaAndSizes);
  auto directories = h.dataDirectories;
  if (image.importRva) directories[1] = {image.importRva, 20 * static_cast<std::uint32_t>(imports_.size() + 1)};
  for (std::size_t i = 0; i < plan.size(); ++i)
    if (plan[i].kind == Planned::Kind::Exports) directories[0] = {image.exportRva, image.sections[i].virtualSize};
  if (image.debugRva) directories[6] = {image.debugRva, 28 * static_cast<std::uint32_t>(debug_.size())};
  for (int i = 0; i < 16; ++i) {
    PutU32(b, image.DataDirectoryOffset(i), directories[static_cast<std::size_t>(i)].first);
    PutU32(b, image.DataDirectoryOffset(i) + 4, directories[static_cast<std::size_t>(i)].second);
  }

  // Section table.
  for (std::size_t i = 0; i < image.sections.size(); ++i) {
    const auto& s = image.sections[i];
    const std::uint64_t at = image.sectionTableOffset + 40 * i;
    PutText(b, at, s.name);
    PutU32(b, at + 8, s.virtualSize);
    PutU32(b, at + 12, s.rva);
    PutU32(b, at + 16, s.rawSize);
    PutU32(b, at + 20, s.rawOffset);
    PutU32(b, at + 36, plan[i].def.characteristics);
  }

  b.insert(b.end(), overlay_.begin(), overlay_.end());
  return image;
}

}  // namespace tessor::testing
