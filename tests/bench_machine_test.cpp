// The benchmark's generated machines are read by the simulated PC's own parser: they must stay in
// its format, and the key maps the benchmark checks after a run must be the ones it seeded.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tools/bench/BenchMachine.h"
#include "tools/demo/simpc/Scenario.h"

namespace {

const char* const kJawsKeyPrefix = "Software\\Freedom Scientific\\JAWS\\";

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

TEST(BenchMachineTest, GeneratedMachinesParseWithEveryVersionAndKeyMapSeeded) {
    const bench::MachineSize sizes[] = {{1, 1}, {3, 2}, {12, 11}};
    for (const bench::MachineSize& size : sizes) {
        SCOPED_TRACE(std::to_string(size.versions) + " x " + std::to_string(size.settingsFolders));
        simpc::Scenario scenario;
        std::string error;
        ASSERT_TRUE(simpc::ParseScenario(bench::MachineScenario(size, "win98"), "generated",
                                         scenario, error))
            << error;
        EXPECT_EQ("win98", scenario.windows);

        std::vector<std::string> targets;
        int otherKeys = 0;
        for (const simpc::RegistryKey& key : scenario.keys) {
            if (key.subkey.rfind(kJawsKeyPrefix, 0) != 0) {
                ++otherKeys;
                continue;
            }
            ASSERT_EQ(1u, key.values.size());
            EXPECT_EQ("Target", key.values[0].name);
            targets.push_back(key.values[0].data);
        }
        EXPECT_EQ(static_cast<size_t>(size.versions), targets.size());
        // Each version's folder is its own, or versions would share (and halve) the work.
        std::sort(targets.begin(), targets.end());
        EXPECT_TRUE(std::adjacent_find(targets.begin(), targets.end()) == targets.end());
        EXPECT_EQ(1, otherKeys);  // Window-Eyes

        std::vector<std::string> seededKeyMaps;
        for (const simpc::File& file : scenario.files) {
            if (EndsWith(file.path, "\\default.JKM")) seededKeyMaps.push_back(file.path);
        }
        EXPECT_EQ(bench::KeyMapPaths(size), seededKeyMaps);
        EXPECT_EQ(static_cast<size_t>(size.KeyMaps()), seededKeyMaps.size());
    }
}

}  // namespace
