// Test hooks of the engine; the product never calls them.
#pragma once

namespace Engine {

// How long askSetTimeJob waits for the job's answer (14 s in the product).
void setAnswerDeadlineForTests(int ms);

} // namespace Engine
