#include "platform/fake/FakeMicrophonePermission.h"

namespace velnor {

void FakeMicrophonePermission::request(std::function<void(bool granted)> answer)
{
    ++m_requests;
    m_status = m_answer ? Status::Authorized : Status::Denied;
    if (answer)
        answer(m_answer);
}

} // namespace velnor
