#pragma once
// The spring tank that kReverbImpulseType2 renders (tools/data/generate_audio_tables.cpp), named
// once for the generator and for the data tests that look for its echoes.
//
// Three springs of one wire: a wave needs a spring's one-way delay to cross it at low
// frequencies, and every crossing adds oneWayDelay * kSpringDispersion * (f / 1 kHz)^1.5 at
// frequency f, so higher frequencies arrive later and every echo is a rising chirp. The echoes
// reach the output after 1, 3, 5, ... crossings, counted from the transducer pulse on the
// table's peak sample.

constexpr int kSpringCount = 3;
constexpr double kSpringOneWayDelays[kSpringCount] = { 0.0280, 0.0345, 0.0425 };  // seconds
constexpr double kSpringDispersion = 0.05;
