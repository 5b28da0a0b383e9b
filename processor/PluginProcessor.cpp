#include "PluginProcessor.h"

#include "PluginEditor.h"

BrondavellJuceAudioProcessor::BrondavellJuceAudioProcessor()
    : juce::AudioProcessor(busDeclaration())
{
    // Index order: the host's parameter order, the editor's control order and the state's order.
    addParameter(preGainClean = new juce::AudioParameterFloat("preGainClean", "Pre Gain Clean", 0.0f, 10.0f, 1.0f));
    addParameter(preGainDrive = new juce::AudioParameterFloat("preGainDrive", "Pre Gain Drive", 0.33f, 10.0f, 5.0f));
    addParameter(flavorDrive = new juce::AudioParameterFloat("flavorDrive", "Flavor Drive", 0.0f, 2.0f, 1.0f));
    addParameter(bassClean = new juce::AudioParameterFloat("bassClean", "Bass Clean", 0.0f, 1.0f, 0.5f));
    addParameter(mediumClean = new juce::AudioParameterFloat("mediumClean", "Medium Clean", 0.0f, 1.0f, 0.5f));
    addParameter(highClean = new juce::AudioParameterFloat("highClean", "High Clean", 0.0f, 1.0f, 0.5f));
    addParameter(bassDrive = new juce::AudioParameterFloat("bassDrive", "Bass Drive", 0.0f, 1.0f, 0.5f));
    addParameter(mediumDrive = new juce::AudioParameterFloat("mediumDrive", "Medium Drive", 0.0f, 1.0f, 0.5f));
    addParameter(highDrive = new juce::AudioParameterFloat("highDrive", "High Drive", 0.0f, 1.0f, 0.5f));
    addParameter(volumeClean = new juce::AudioParameterFloat("volumeClean", "Volume Clean", 0.0f, 1.0f, 0.8f));
    addParameter(volumeDrive = new juce::AudioParameterFloat("volumeDrive", "Volume DRive", 0.0f, 2.0f, 1.0f));
    addParameter(presence = new juce::AudioParameterFloat("presence", "Presence", 0.0f, 1.0f, 0.5f));
    addParameter(reverb = new juce::AudioParameterFloat("reverb", "Reverb", 0.0f, 1.0f, 0.0f));
    addParameter(reverbType2 = new juce::AudioParameterBool("reverbType2", "Reverb Type", false));
    addParameter(chanelDrive = new juce::AudioParameterBool("chanelDrive", "Chanel", false));
    addParameter(bright = new juce::AudioParameterBool("bright", "Bright", true));
    addParameter(hqReverb = new juce::AudioParameterBool("hqReverb", "HQ reverb", false));
    addParameter(boost = new juce::AudioParameterBool("boost", "boost", false));
    addParameter(cab = new juce::AudioParameterInt("cab", "Cabinet", 1, 13, 8));

    // Last: from now on every notified parameter change reaches audioProcessorParameterChanged.
    addListener(this);
}

BrondavellJuceAudioProcessor::~BrondavellJuceAudioProcessor() = default;

// Both buses are stereo. The Audio Unit client enables every bus itself right after creating the
// processor; the other clients apply their first channel configuration to whatever is enabled,
// so there the buses are declared active, or a host that never changes the layout gets no sound.
juce::AudioProcessor::BusesProperties BrondavellJuceAudioProcessor::busDeclaration()
{
    const bool activeByDefault =
        juce::PluginHostType::getPluginLoadedAs() != juce::AudioProcessor::wrapperType_AudioUnit;
    return BusesProperties()
        .withInput("Input", juce::AudioChannelSet::stereo(), activeByDefault)
        .withOutput("Output", juce::AudioChannelSet::stereo(), activeByDefault);
}

const juce::String BrondavellJuceAudioProcessor::getName() const { return "BrondavellV2"; }

void BrondavellJuceAudioProcessor::prepareToPlay(double, int) {}

void BrondavellJuceAudioProcessor::releaseResources() {}

void BrondavellJuceAudioProcessor::processBlock(juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;
    const int numSamples = buffer.getNumSamples();
    for (int channel = getTotalNumInputChannels(); channel < getTotalNumOutputChannels(); ++channel)
        buffer.clear(channel, 0, numSamples);
}

double BrondavellJuceAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool BrondavellJuceAudioProcessor::acceptsMidi() const { return false; }
bool BrondavellJuceAudioProcessor::producesMidi() const { return false; }
bool BrondavellJuceAudioProcessor::isMidiEffect() const { return false; }

juce::AudioProcessorEditor* BrondavellJuceAudioProcessor::createEditor()
{
    return new BrondavellJuceAudioProcessorEditor(*this);
}

bool BrondavellJuceAudioProcessor::hasEditor() const { return true; }
int BrondavellJuceAudioProcessor::getNumPrograms() { return 1; }
int BrondavellJuceAudioProcessor::getCurrentProgram() { return 0; }
void BrondavellJuceAudioProcessor::setCurrentProgram(int) {}
const juce::String BrondavellJuceAudioProcessor::getProgramName(int) { return {}; }
void BrondavellJuceAudioProcessor::changeProgramName(int, const juce::String&) {}

void BrondavellJuceAudioProcessor::audioProcessorChanged(juce::AudioProcessor*, const juce::AudioProcessorListener::ChangeDetails&) {}
void BrondavellJuceAudioProcessor::audioProcessorParameterChanged(juce::AudioProcessor*, int, float) {}

// The framework's plug-in clients create one processor per instance through this hook.
juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter()
{
    return new BrondavellJuceAudioProcessor();
}
