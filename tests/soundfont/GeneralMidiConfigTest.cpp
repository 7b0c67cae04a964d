// config/Corvinta-GM.xml: laid out as the organ writes its configuration,
// voicing every rank with its General MIDI program on TimGM6mb, which must
// answer every one of those programs.

#include "FluidRender.h"
#include "AudioAnalysis.h"
#include "organ/OrganTables.h"
#include "tools/soundfont/TrapsKit.h"

#include <expat.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace corvinta;
using namespace corvinta::test;

namespace {

const std::string kConfig = CORVINTA_GM_CONFIG;

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// What the file says, keyed by element path: "rank/3/patch1", "soundfont/path",
// "property/tremolo_method".
struct Values {
    std::vector<std::string> open;
    std::string id, text;
    std::map<std::string, std::string> at;
};

void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attributes)
{
    auto* v = static_cast<Values*>(data);
    v->open.emplace_back(name);
    v->text.clear();
    for (int i = 0; attributes[i]; i += 2)
        if (std::string(attributes[i]) == "id" || std::string(attributes[i]) == "name")
            v->id = attributes[i + 1];
}

void XMLCALL End(void* data, const XML_Char* name)
{
    auto* v = static_cast<Values*>(data);
    const std::string parent = v->open.size() > 1 ? v->open[v->open.size() - 2] : "";
    if (parent == "rank")
        v->at["rank/" + v->id + "/" + name] = v->text;
    else if (parent == "soundfont")
        v->at["soundfont/" + std::string(name)] = v->text;
    else if (std::string(name) == "property")
        v->at["property/" + v->id] = v->text;
    v->open.pop_back();
}

void XMLCALL Text(void* data, const XML_Char* s, int length) { static_cast<Values*>(data)->text.append(s, size_t(length)); }

Values Parse(const std::string& xml)
{
    Values v;
    XML_Parser parser = XML_ParserCreate("UTF-8");
    XML_SetUserData(parser, &v);
    XML_SetElementHandler(parser, Start, End);
    XML_SetCharacterDataHandler(parser, Text);
    EXPECT_EQ(XML_Parse(parser, xml.data(), int(xml.size()), 1), XML_STATUS_OK)
        << XML_ErrorString(XML_GetErrorCode(parser)) << " at line " << XML_GetCurrentLineNumber(parser);
    XML_ParserFree(parser);
    return v;
}

TEST(GeneralMidiConfig, IsLaidOutAsTheOrganWritesItsConfiguration)
{
    const std::string xml = ReadAll(kConfig);
    ASSERT_FALSE(xml.empty()) << kConfig;
    EXPECT_EQ(xml.rfind("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<settings version=\"511\">\r\n", 0),
              0u);
    // One element per line, CR LF endings, one TAB per level of depth.
    std::istringstream lines(xml);
    std::string line;
    int depth = 0, number = 0;
    while (std::getline(lines, line)) {
        ++number;
        ASSERT_FALSE(line.empty() || line.back() != '\r') << "line " << number << " must end in CR LF";
        line.pop_back();
        if (number == 1)
            continue;
        const auto tabs = int(line.find_first_not_of('\t'));
        const std::string body = line.substr(size_t(tabs));
        const bool closes = body.rfind("</", 0) == 0;
        const bool leaf = !closes && body.find("</") != std::string::npos;
        if (closes)
            --depth;
        EXPECT_EQ(tabs, depth) << "line " << number << ": " << body;
        if (!closes && !leaf)
            ++depth;
    }
    EXPECT_EQ(depth, 0);
}

TEST(GeneralMidiConfig, VoicesEveryRankWithItsGeneralMidiProgramOnTimGM6mb)
{
    Values v = Parse(ReadAll(kConfig));
    for (int r = 0; r < kRankCount; ++r) {
        SCOPED_TRACE(std::string(kRanks[r].name));
        const std::string key = "rank/" + std::to_string(r) + "/";
        EXPECT_EQ(v.at[key + "device"], "Corvinta Fluidsynth");
        EXPECT_EQ(v.at[key + "channel"], std::to_string(r));
        EXPECT_EQ(v.at[key + "volume"], std::to_string(kRanks[r].volume));
        EXPECT_EQ(v.at[key + "pan"], std::to_string(kRanks[r].pan));
        EXPECT_EQ(v.at[key + "bank"], "0");
        EXPECT_EQ(v.at[key + "patch1"], std::to_string(kRanks[r].generalMidiProgram));
        EXPECT_EQ(v.at[key + "patch2"], std::to_string(kRanks[r].generalMidiProgram));
    }
    EXPECT_EQ(v.at["soundfont/path"], "/usr/share/sounds/sf2/TimGM6mb.sf2");
    EXPECT_EQ(v.at["soundfont/offset"], "0");
    EXPECT_EQ(v.at["property/tremolo_method"], "mod");
}

TEST(GeneralMidiConfig, EveryRankSoundsOnTheGeneralMidiFont)
{
    const std::string font = Parse(ReadAll(kConfig)).at["soundfont/path"];
    ASSERT_TRUE(std::filesystem::exists(font)) << font << " (Debian package timgm6mb-soundfont)";
    CFluidRender synth(font, {.bankOffset = 0});
    ASSERT_TRUE(synth.Loaded());
    for (int r = 0; r < kRankCount; ++r) {
        std::vector<int> notes{60};
        if (r == soundfont::kTrapsRank) {
            // The organ sends no program to the drum channel; the standard
            // kit answers the drum notes of the traps tabs.
            notes.clear();
            for (int n : soundfont::TrapNotes())
                if (n >= 35 && n <= 81)
                    notes.push_back(n);
        } else {
            synth.Voice(r, 0, kRanks[r].generalMidiProgram);
            fluid_preset_t* preset = fluid_synth_get_channel_preset(synth.Synth(), r);
            ASSERT_NE(preset, nullptr) << kRanks[r].name;
            EXPECT_EQ(fluid_preset_get_num(preset), kRanks[r].generalMidiProgram) << kRanks[r].name;
        }
        for (int n : notes) {
            fluid_synth_noteon(synth.Synth(), r, n, 127);
            EXPECT_GT(synth.Render(0.3).Peak(), 0.01f) << kRanks[r].name << " note " << n;
            fluid_synth_all_sounds_off(synth.Synth(), -1);
        }
    }
}

} // namespace
