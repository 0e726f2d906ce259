// Reading the settings file: a file at the size limit (tens of thousands of keys) must still be
// read in a blink, so start-up never waits on it.
#include "platform/IniFile.h"
#include "settings/SettingsTable.h"

#include <benchmark/benchmark.h>

namespace {

QByteArray settingsText(int sections, int keysPerSection) {
    QByteArray text;
    for (int s = 0; s < sections; ++s) {
        text += "[section" + QByteArray::number(s) + "]\n";
        for (int k = 0; k < keysPerSection; ++k) {
            text += "key" + QByteArray::number(k) + "=value " + QByteArray::number(k) + "\n";
        }
    }
    return text;
}

void BM_ParseSettings(benchmark::State& state) {
    const QByteArray text = settingsText(1, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(oculet::IniFile::parse(text));
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
// All keys in one section, the worst case for a search per key; 64k keys are about 1.3 MB,
// over the read limit, to show the cost stays linear.
BENCHMARK(BM_ParseSettings)->Arg(1000)->Arg(8000)->Arg(64000)->Unit(benchmark::kMillisecond);

void BM_LoadAndSaveEverySetting(benchmark::State& state) {
    oculet::IniFile store;
    oculet::saveSettings(oculet::Settings{}, store, true);
    const QByteArray text = store.serialise();
    for (auto _ : state) {
        oculet::IniFile ini = oculet::IniFile::parse(text);
        const oculet::Settings s = oculet::loadSettings(ini, {0, 0, 1920, 1080});
        oculet::saveSettings(s, ini, true);
        benchmark::DoNotOptimize(ini.serialise());
    }
}
BENCHMARK(BM_LoadAndSaveEverySetting)->Unit(benchmark::kMicrosecond);

} // namespace
