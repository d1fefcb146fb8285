#include "console/DiagMenu.h"


namespace wendlar {

void DiagMenu::ResetClick() { sender_.SendCommand(1, 0, 0); }

void DiagMenu::ClearBufferClick() { sender_.SendCommand(12, 0, 0); }

// The spindle entries queue their record whether or not a controller is connected; the
// link drops what is queued while not connected.
void DiagMenu::SpindleStartClick() { sender_.Queue(CommandRecord(14, {})); }

void DiagMenu::SpindleOffClick() { sender_.Queue(CommandRecord(15, {})); }

void DiagMenu::SetSpindleClick(int output) {
  sender_.Queue(CommandRecord(13, {static_cast<uint8_t>(output == 0 ? 0 : 1)}));
}

void DiagMenu::Aux1Click(bool on) { outputs_.SetAux1(on); }

void DiagMenu::BuildTableClick() { sender_.SendCommand(30, 1, 0); }

bool DiagMenu::LoadTableClick() {
  OperationGuard guard(state_, LongOperation::TableRead);
  if (!guard.Acquired() || !readTable_) return false;
  return readTable_();
}

void DiagMenu::SendAccelParamsClick() { initialisation_.SendAccelParams(config_.Config.R_accel); }

bool DiagMenu::EnableTimerClick() {
  Link& link = sender_.LinkRef();
  // Polling a port with no controller behind it would only end in a silence report.
  if (!link.PortOpen || !link.Connected) {
    if (Message) Message("Not connected: the link timer stays off");
    return false;
  }
  link.UsbTimer().SetEnabled(true);
  return true;
}

bool DiagMenu::StopTimerClick() {
  // A job's buffer waits and every long operation count on the polling.
  if (state_.Operation != LongOperation::None || state_.JobActive) {
    if (Message) Message("Busy: the link timer keeps running");
    return false;
  }
  sender_.LinkRef().UsbTimer().SetEnabled(false);
  return true;
}

}  // namespace wendlar
