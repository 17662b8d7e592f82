#pragma once
// The shell services on their own: a TShellServices with the platform services and the two
// monitors a test gives it, without the rest of the toolkit object.

#include "monitors/appinfo.h"
#include "monitors/processinfo.h"
#include "platform/linuxservices.h"
#include "platform/testing/doubles.h"
#include "platform/testing/monitordoubles.h"
#include "toolkit/shell/shellservices.h"

#include <memory>

namespace rimo::testing {

class ShellHarness : public TShellServices
{
public:
    // Members of `services` left empty get the Linux implementations.
    explicit ShellHarness(
        PlatformServices services = {},
        std::shared_ptr<ProcessSource> processSource = std::make_shared<fakes::FakeProcessSource>(),
        std::shared_ptr<WindowSource> windowSource = std::make_shared<fakes::FakeWindowSource>())
        : m_services(withLinuxDefaults(std::move(services))), processes(processSource),
          windows(windowSource, processSource)
    {
    }

    const PlatformServices& platform() const override { return m_services; }

    PlatformServices m_services;
    TProcessInfo processes;
    TAppInfo windows;

protected:
    TProcessInfo& shellProcessMonitor() override { return processes; }
    TAppInfo& shellWindowMonitor() override { return windows; }
};

} // namespace rimo::testing
