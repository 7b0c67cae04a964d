#include "tools/soundfont/Sf2Writer.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace corvinta::sf2 {

namespace {

// Every sample is followed by this many zero points, as players expect.
constexpr size_t kSamplePadding = 46;

class Chunk {
public:
    void U8(uint8_t v) { bytes.push_back(v); }
    void U16(uint16_t v)
    {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v)
    {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    void Tag(const char (&id)[5])
    {
        for (int i = 0; i < 4; ++i)
            U8(uint8_t(id[i]));
    }
    void Name(std::string_view name, size_t width)
    {
        for (size_t i = 0; i < width; ++i)
            U8(i < name.size() && i + 1 < width ? uint8_t(name[i]) : 0);
    }
    void Append(const Chunk& other) { bytes.insert(bytes.end(), other.bytes.begin(), other.bytes.end()); }
    // A sub-chunk with its id and size, padded to an even length.
    void Sub(const char (&id)[5], const Chunk& body)
    {
        Tag(id);
        U32(uint32_t(body.bytes.size()));
        Append(body);
        if (body.bytes.size() % 2)
            U8(0);
    }
    void List(const char (&type)[5], const Chunk& body)
    {
        Tag("LIST");
        U32(uint32_t(body.bytes.size() + 4));
        Tag(type);
        Append(body);
    }

    std::vector<uint8_t> bytes;
};

void PutGenerators(Chunk& gen, Chunk& mod, Chunk& bag, const Zone& zone, size_t& genCount, size_t& modCount)
{
    bag.U16(uint16_t(genCount));
    bag.U16(uint16_t(modCount));
    // Key range must lead a zone; the sample or instrument link must end it.
    std::vector<Generator> ordered = zone.generators;
    std::stable_sort(ordered.begin(), ordered.end(), [](const Generator& a, const Generator& b) {
        auto rank = [](uint16_t op) { return op == KeyRange ? 0 : (op == SampleId || op == Instrument) ? 2 : 1; };
        return rank(a.op) < rank(b.op);
    });
    for (const Generator& g : ordered) {
        gen.U16(g.op);
        gen.U16(g.amount);
    }
    for (const Modulator& m : zone.modulators) {
        mod.U16(m.source);
        mod.U16(m.destination);
        mod.U16(uint16_t(m.amount));
        mod.U16(m.amountSource);
        mod.U16(m.transform);
    }
    genCount += ordered.size();
    modCount += zone.modulators.size();
}

void Terminal(Chunk& gen, Chunk& mod, Chunk& bag, size_t genCount, size_t modCount)
{
    bag.U16(uint16_t(genCount));
    bag.U16(uint16_t(modCount));
    gen.U32(0);
    for (int i = 0; i < 5; ++i)
        mod.U16(0);
}

} // namespace

Zone& Zone::Set(Gen op, int value)
{
    generators.push_back({op, uint16_t(int16_t(value))});
    return *this;
}

Zone& Zone::Range(int low, int high)
{
    generators.push_back({KeyRange, uint16_t(low | high << 8)});
    return *this;
}

CSf2Writer::CSf2Writer(std::string fontName) : m_name(std::move(fontName)) {}

int CSf2Writer::AddSample(Sample sample)
{
    if (sample.loopEnd > sample.data.size() || sample.loopStart > sample.loopEnd)
        throw std::invalid_argument("loop outside sample " + sample.name);
    m_samples.push_back(std::move(sample));
    return int(m_samples.size()) - 1;
}

int CSf2Writer::AddInstrument(std::string_view name, std::vector<Zone> zones)
{
    m_instruments.push_back({std::string(name), std::move(zones)});
    return int(m_instruments.size()) - 1;
}

void CSf2Writer::AddPreset(std::string_view name, int bank, int program, int instrument, Zone presetZone)
{
    presetZone.Set(Instrument, instrument);
    m_presets.push_back({std::string(name), bank, program, std::move(presetZone)});
}

std::vector<uint8_t> CSf2Writer::Build() const
{
    Chunk info, ifil, isng, inam;
    ifil.U16(2);
    ifil.U16(1);
    isng.Name("EMU8000", 8);
    inam.Name(m_name, m_name.size() + 1 + (m_name.size() + 1) % 2);
    info.Sub("ifil", ifil);
    info.Sub("isng", isng);
    info.Sub("INAM", inam);

    Chunk smpl, shdr;
    uint32_t offset = 0;
    for (const Sample& s : m_samples) {
        for (int16_t v : s.data)
            smpl.U16(uint16_t(v));
        for (size_t i = 0; i < kSamplePadding; ++i)
            smpl.U16(0);
        shdr.Name(s.name, 20);
        shdr.U32(offset);
        shdr.U32(offset + uint32_t(s.data.size()));
        shdr.U32(offset + s.loopStart);
        shdr.U32(offset + s.loopEnd);
        shdr.U32(s.rate);
        shdr.U8(s.rootKey);
        shdr.U8(uint8_t(s.correction));
        shdr.U16(0);
        shdr.U16(1); // mono
        offset += uint32_t(s.data.size() + kSamplePadding);
    }
    shdr.Name("EOS", 20);
    for (int i = 0; i < 26; ++i)
        shdr.U8(0);
    Chunk sdta;
    sdta.Sub("smpl", smpl);

    Chunk inst, ibag, imod, igen;
    size_t genCount = 0, modCount = 0, bagCount = 0;
    for (const InstrumentRec& in : m_instruments) {
        inst.Name(in.name, 20);
        inst.U16(uint16_t(bagCount));
        for (const Zone& z : in.zones) {
            PutGenerators(igen, imod, ibag, z, genCount, modCount);
            ++bagCount;
        }
    }
    inst.Name("EOI", 20);
    inst.U16(uint16_t(bagCount));
    Terminal(igen, imod, ibag, genCount, modCount);

    Chunk phdr, pbag, pmod, pgen;
    genCount = modCount = bagCount = 0;
    for (const PresetRec& p : m_presets) {
        phdr.Name(p.name, 20);
        phdr.U16(uint16_t(p.program));
        phdr.U16(uint16_t(p.bank));
        phdr.U16(uint16_t(bagCount));
        phdr.U32(0);
        phdr.U32(0);
        phdr.U32(0);
        PutGenerators(pgen, pmod, pbag, p.zone, genCount, modCount);
        ++bagCount;
    }
    phdr.Name("EOP", 20);
    phdr.U16(0);
    phdr.U16(0);
    phdr.U16(uint16_t(bagCount));
    phdr.U32(0);
    phdr.U32(0);
    phdr.U32(0);
    Terminal(pgen, pmod, pbag, genCount, modCount);

    Chunk pdta;
    pdta.Sub("phdr", phdr);
    pdta.Sub("pbag", pbag);
    pdta.Sub("pmod", pmod);
    pdta.Sub("pgen", pgen);
    pdta.Sub("inst", inst);
    pdta.Sub("ibag", ibag);
    pdta.Sub("imod", imod);
    pdta.Sub("igen", igen);
    pdta.Sub("shdr", shdr);

    Chunk body;
    body.Tag("sfbk");
    body.List("INFO", info);
    body.List("sdta", sdta);
    body.List("pdta", pdta);
    Chunk riff;
    riff.Tag("RIFF");
    riff.U32(uint32_t(body.bytes.size()));
    riff.Append(body);
    return std::move(riff.bytes);
}

bool CSf2Writer::Write(const std::string& path) const
{
    const std::vector<uint8_t> image = Build();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), std::streamsize(image.size()));
    return bool(out);
}

} // namespace corvinta::sf2
