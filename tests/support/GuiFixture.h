// Old names kept while suites move to WindowFixture; remove once none uses them.
#pragma once

#include "support/WindowFixture.h"

namespace guitest {

using namespace testsupport;
using ScopedConfigHome = testsupport::ConfigHome;
using RecordingPrompts = testsupport::FakePrompts;

class FrameFixture : public testsupport::WindowFixture {
protected:
    void SetUp() override { Start(); }
    void Restart() { Start(); }
    Form_SerchAns& Pane() const { return *Results(); }
};

}  // namespace guitest
