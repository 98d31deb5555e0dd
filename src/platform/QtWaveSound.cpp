#include "WaveSound.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>

namespace vedomec {
namespace {

class QtWavePlayer final : public IWavePlayer {
public:
    void playWave(const QByteArray& image) override
    {
        stopWave();
        const std::optional<WavInfo> info = parseWav(image);
        if (!info || info->dataSize == 0)
            return;
        QAudioFormat format;
        format.setSampleRate(info->sampleRate);
        format.setChannelCount(info->channels);
        if (info->formatTag == 3)
            format.setSampleFormat(QAudioFormat::Float);
        else if (info->bitsPerSample == 8)
            format.setSampleFormat(QAudioFormat::UInt8);
        else if (info->bitsPerSample == 16)
            format.setSampleFormat(QAudioFormat::Int16);
        else
            format.setSampleFormat(QAudioFormat::Int32);
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull() || !device.isFormatSupported(format))
            return;
        m_samples = new QBuffer;
        m_samples->setData(image.mid(info->dataOffset, info->dataSize));
        m_samples->open(QIODevice::ReadOnly);
        m_sink = new QAudioSink(device, format);
        m_sink->start(m_samples);
    }

    void prepare() override
    {
        // The first question for a device starts the multimedia back end
        // and its connection to the sound server.
        (void)QMediaDevices::defaultAudioOutput();
    }

    void stopWave() override
    {
        if (m_sink) {
            m_sink->stop();
            delete m_sink;
            m_sink = nullptr;
        }
        delete m_samples;
        m_samples = nullptr;
    }

private:
    QAudioSink* m_sink = nullptr;
    QBuffer* m_samples = nullptr;
};

} // namespace

std::unique_ptr<IWavePlayer> makeQtWavePlayer()
{
    return std::make_unique<QtWavePlayer>();
}

IWavePlayer* qtWavePlayer()
{
    // Never destroyed: audio objects torn down after the application object
    // (at static destruction) are not safe, and the end of the process stops
    // any sound anyway.
    static auto* player = new QtWavePlayer;
    return player;
}

} // namespace vedomec
