// SPDX-License-Identifier: MIT
#include "app/command_line_program.h"

#include <QCoreApplication>
#include <memory>

#include "app/user_settings.h"
#include "cli/command_line.h"
#include "instance/single_instance.h"
#include "platform/native.h"
#include "platform/platform.h"
#include "platform/process_start.h"
#include "platform/storage_service.h"

namespace kestrun::app {

int run_command_line_program(int argc, char* argv[]) {
  // Before anything opens a descriptor that could take a closed stream's place.
  cli::Streams streams;
  streams.input_closed = platform::reopen_closed_standard_streams();
  QCoreApplication application(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Kestrun"));
  const auto drives = platform::make_drive_api();
  const auto launcher = platform::make_launcher();
  const auto settings = user_settings();
  // Made only for --headless: finding the runtime folder can warn, and the
  // one-shot options have nothing to say about it.
  const auto ejector = platform::make_ejector();
  std::unique_ptr<instance::SingleInstance> only;
  cli::Services services{
      *drives,
      *launcher,
      *settings,
      [&only] {
        only = std::make_unique<instance::SingleInstance>(instance::Role::headless);
        return only->claim_or_refusal();
      },
      [](std::function<void()> changed) {
        return platform::make_native_interface()->watch_volumes(std::move(changed));
      },
      ejector.get(),
      platform::unmounted_volumes,
      platform::mount_named_volumes};
  return cli::run_command_line(platform::decode_arguments(argc, argv), services, streams);
}

}  // namespace kestrun::app
