// The processor's class-level contract: its parameter set, its fixed answers and its buses.
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
enum class Kind
{
    continuous,
    onOff,
    integer
};

struct ParameterRow
{
    const char* id;
    const char* name;
    Kind kind;
    float minimum, maximum, defaultPlain, defaultNormalised;
};

// The published parameter set, in index order: the host's order and the saved state's order.
const ParameterRow kParameterTable[] = {
    { "preGainClean", "Pre Gain Clean", Kind::continuous, 0.0f, 10.0f, 1.0f, 0.1f },
    { "preGainDrive", "Pre Gain Drive", Kind::continuous, 0.33f, 10.0f, 5.0f, 0.482937f },
    { "flavorDrive", "Flavor Drive", Kind::continuous, 0.0f, 2.0f, 1.0f, 0.5f },
    { "bassClean", "Bass Clean", Kind::continuous, 0.0f, 1.0f, 0.5f, 0.5f },
    { "mediumClean", "Medium Clean", Kind::continuous, 0.0f, 1.0f, 0.5f, 0.5f },
    { "highClean", "High Clean", Kind::continuous, 0.0f, 1.0f, 0.5f, 0.5f },
    { "bassDrive", "Bass Drive", Kind::continuous, 0.0f, 1.0f, 0.5f, 0.5f },
    { "mediumDrive", "Medium Drive", Kind::continuous, 0.0f, 1.0f, 0.5f, 0.5f },
    { "highDrive", "High Drive", Kind::continuous, 0.0f, 1.0f, 0.5f, 0.5f },
    { "volumeClean", "Volume Clean", Kind::continuous, 0.0f, 1.0f, 0.8f, 0.8f },
    { "volumeDrive", "Volume DRive", Kind::continuous, 0.0f, 2.0f, 1.0f, 0.5f },
    { "presence", "Presence", Kind::continuous, 0.0f, 1.0f, 0.5f, 0.5f },
    { "reverb", "Reverb", Kind::continuous, 0.0f, 1.0f, 0.0f, 0.0f },
    { "reverbType2", "Reverb Type", Kind::onOff, 0.0f, 1.0f, 0.0f, 0.0f },
    { "chanelDrive", "Chanel", Kind::onOff, 0.0f, 1.0f, 0.0f, 0.0f },
    { "bright", "Bright", Kind::onOff, 0.0f, 1.0f, 1.0f, 1.0f },
    { "hqReverb", "HQ reverb", Kind::onOff, 0.0f, 1.0f, 0.0f, 0.0f },
    { "boost", "boost", Kind::onOff, 0.0f, 1.0f, 0.0f, 0.0f },
    { "cab", "Cabinet", Kind::integer, 1.0f, 13.0f, 8.0f, 7.0f / 12.0f },
};

class ProcessorClassTest : public ::testing::Test
{
protected:
    std::unique_ptr<BrondavellJuceAudioProcessor> processor = std::make_unique<BrondavellJuceAudioProcessor>();

    juce::RangedAudioParameter& parameter(int index)
    {
        return *dynamic_cast<juce::RangedAudioParameter*>(processor->getParameters()[index]);
    }
};

TEST_F(ProcessorClassTest, ParameterTableInIndexOrder)
{
    const auto& parameters = processor->getParameters();
    ASSERT_EQ(parameters.size(), static_cast<int>(std::size(kParameterTable)));

    for (int index = 0; index < parameters.size(); ++index)
    {
        const auto& row = kParameterTable[index];
        SCOPED_TRACE(row.id);
        auto* ranged = dynamic_cast<juce::RangedAudioParameter*>(parameters[index]);
        ASSERT_NE(ranged, nullptr);
        EXPECT_EQ(parameters[index]->getParameterIndex(), index);
        EXPECT_EQ(ranged->getParameterID(), row.id);
        EXPECT_EQ(ranged->getName(100), row.name);
        EXPECT_EQ(ranged->getLabel(), "");
        EXPECT_TRUE(ranged->isAutomatable());
        EXPECT_FALSE(ranged->isMetaParameter());

        const auto& range = ranged->getNormalisableRange();
        EXPECT_EQ(range.start, row.minimum);
        EXPECT_EQ(range.end, row.maximum);
        EXPECT_EQ(range.skew, 1.0f);
        EXPECT_NEAR(ranged->getDefaultValue(), row.defaultNormalised, 1e-6);
        EXPECT_NEAR(ranged->getValue(), row.defaultNormalised, 1e-6);

        switch (row.kind)
        {
        case Kind::continuous:
            ASSERT_NE(dynamic_cast<juce::AudioParameterFloat*>(ranged), nullptr);
            EXPECT_EQ(dynamic_cast<juce::AudioParameterFloat*>(ranged)->get(), row.defaultPlain);
            EXPECT_EQ(range.interval, 0.01f);
            break;
        case Kind::onOff:
            ASSERT_NE(dynamic_cast<juce::AudioParameterBool*>(ranged), nullptr);
            EXPECT_EQ(dynamic_cast<juce::AudioParameterBool*>(ranged)->get(), row.defaultPlain >= 0.5f);
            break;
        case Kind::integer:
            ASSERT_NE(dynamic_cast<juce::AudioParameterInt*>(ranged), nullptr);
            EXPECT_EQ(dynamic_cast<juce::AudioParameterInt*>(ranged)->get(), static_cast<int>(row.defaultPlain));
            EXPECT_EQ(range.interval, 1.0f);
            break;
        }
    }
}

TEST_F(ProcessorClassTest, TypedMembersAreTheListedParameters)
{
    const std::pair<const char*, juce::AudioProcessorParameter*> members[] = {
        { "preGainClean", processor->preGainClean },
        { "preGainDrive", processor->preGainDrive },
        { "flavorDrive", processor->flavorDrive },
        { "bassClean", processor->bassClean },
        { "mediumClean", processor->mediumClean },
        { "highClean", processor->highClean },
        { "bassDrive", processor->bassDrive },
        { "mediumDrive", processor->mediumDrive },
        { "highDrive", processor->highDrive },
        { "volumeClean", processor->volumeClean },
        { "chanelDrive", processor->chanelDrive },
        { "bright", processor->bright },
        { "volumeDrive", processor->volumeDrive },
        { "reverbType2", processor->reverbType2 },
        { "reverb", processor->reverb },
        { "hqReverb", processor->hqReverb },
        { "presence", processor->presence },
        { "boost", processor->boost },
        { "cab", processor->cab },
    };
    for (const auto& [id, member] : members)
    {
        SCOPED_TRACE(id);
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(dynamic_cast<juce::AudioProcessorParameterWithID*>(member)->getParameterID(), id);
        EXPECT_EQ(processor->getParameters()[member->getParameterIndex()], member);
    }
}

TEST_F(ProcessorClassTest, ContinuousValuesSnapToTheirGrid)
{
    struct Case
    {
        int index;
        float requestedPlain, storedPlain;
    };
    const Case cases[] = {
        { 1, 0.336f, 0.34f },                                                // preGainDrive: steps of 0.01 from 0.33
        { 1, 0.3349f, 0.33f }, { 1, 0.2f, 0.33f },  { 0, 3.14159f, 3.14f },  // preGainClean
        { 0, 10.0f, 10.0f },   { 0, 12.0f, 10.0f },                          // clamped to the range
        { 10, 1.999f, 2.0f },                                                // volumeDrive
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.requestedPlain);
        auto& p = dynamic_cast<juce::AudioParameterFloat&>(parameter(c.index));
        p.setValueNotifyingHost(p.convertTo0to1(c.requestedPlain));
        EXPECT_FLOAT_EQ(p.get(), c.storedPlain);
    }
}

TEST_F(ProcessorClassTest, CabinetHoldsWholeNumbersFromOneToThirteen)
{
    const std::pair<float, int> cases[] = { { 0.5f, 7 },  { 0.0f, 1 },   { 1.0f, 13 }, { 0.04f, 1 },
                                            { 0.05f, 2 }, { 0.99f, 13 }, { 0.54f, 7 } };
    for (const auto& [normalised, plain] : cases)
    {
        SCOPED_TRACE(normalised);
        processor->cab->setValueNotifyingHost(normalised);
        EXPECT_EQ(processor->cab->get(), plain);
        EXPECT_FLOAT_EQ(parameter(18).getValue(), static_cast<float>(plain - 1) / 12.0f);
    }
}

TEST_F(ProcessorClassTest, FixedAnswers)
{
    EXPECT_EQ(processor->getName(), "BrondavellV2");
    EXPECT_EQ(processor->getTailLengthSeconds(), 0.0);
    EXPECT_FALSE(processor->acceptsMidi());
    EXPECT_FALSE(processor->producesMidi());
    EXPECT_FALSE(processor->isMidiEffect());
    EXPECT_TRUE(processor->hasEditor());
    EXPECT_EQ(processor->getLatencySamples(), 0);

    EXPECT_EQ(processor->getNumPrograms(), 1);
    processor->setCurrentProgram(3);
    EXPECT_EQ(processor->getCurrentProgram(), 0);
    processor->changeProgramName(0, "Crunch");
    processor->changeProgramName(5, "Lead");
    EXPECT_EQ(processor->getProgramName(0), "");
    EXPECT_EQ(processor->getProgramName(7), "");
    EXPECT_EQ(processor->getNumPrograms(), 1);
}

TEST_F(ProcessorClassTest, StereoBusesEnabledOutsideTheAudioUnitClient)
{
    ASSERT_EQ(processor->getBusCount(true), 1);
    ASSERT_EQ(processor->getBusCount(false), 1);
    EXPECT_EQ(processor->getBus(true, 0)->getName(), "Input");
    EXPECT_EQ(processor->getBus(false, 0)->getName(), "Output");
    EXPECT_EQ(processor->getBus(true, 0)->getDefaultLayout(), juce::AudioChannelSet::stereo());
    EXPECT_EQ(processor->getBus(false, 0)->getDefaultLayout(), juce::AudioChannelSet::stereo());
    // A host that never touches the layout still gets channels to process.
    EXPECT_EQ(processor->getTotalNumInputChannels(), 2);
    EXPECT_EQ(processor->getTotalNumOutputChannels(), 2);
}

TEST_F(ProcessorClassTest, InstancesAreIndependent)
{
    // Tens of megabytes: always on the heap.
    const auto other = std::make_unique<BrondavellJuceAudioProcessor>();
    processor->bassDrive->setValueNotifyingHost(0.9f);
    processor->cab->setValueNotifyingHost(0.0f);
    EXPECT_FLOAT_EQ(other->bassDrive->get(), 0.5f);
    EXPECT_EQ(other->cab->get(), 8);
}

TEST_F(ProcessorClassTest, EachEditorIsNewAndNotKeptByTheProcessor)
{
    std::unique_ptr<juce::AudioProcessorEditor> first(processor->createEditor());
    std::unique_ptr<juce::AudioProcessorEditor> second(processor->createEditor());
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(processor->getActiveEditor(), nullptr);
    EXPECT_EQ(first->getWidth(), 950);
    EXPECT_EQ(first->getHeight(), 400);
}
}
