#include "camera/camWorker.h"

#include "camera/NqSystem.h"

camWorker::camWorker(NqSystem* system) : m_system(system)
{
}

void camWorker::camReload()
{
    m_system->SetDetectionThreadsPriority(1);
    m_system->SetDetectionTimeout(500);
    const NqResult result = m_system->Find();
    emit resultSignal(result.IsOK());
}
