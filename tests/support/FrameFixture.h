// Old names kept while suites move to WindowFixture; remove once none uses them.
#pragma once

#include "support/WindowFixture.h"

namespace textrove::testing {

class FrameTest : public testsupport::WindowFixture {
protected:
    virtual Form_SerchAns* Pane() const { return WindowFixture::Results(); }
    Form_SerchAns* Results() const override { return Pane(); }
    std::unique_ptr<MainForm>& frame = m_frame;
};
using ScriptedPrompts = testsupport::FakePrompts;

}  // namespace textrove::testing
