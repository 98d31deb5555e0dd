#include "Sound.h"

namespace vedomec {
namespace {

class SilentPlayer final : public ISoundPlayer {
public:
    void playFile(const QString&) override {}
};

SilentPlayer g_silent;
ISoundPlayer* g_default = &g_silent;
ISoundPlayer* g_override = nullptr;

} // namespace

ISoundPlayer& soundPlayer()
{
    return g_override ? *g_override : *g_default;
}

void setSoundPlayer(ISoundPlayer* player)
{
    g_override = player;
}

void setDefaultSoundPlayer(ISoundPlayer* player)
{
    g_default = player ? player : &g_silent;
}

void prepareSound()
{
    soundPlayer().prepare();
}

} // namespace vedomec
