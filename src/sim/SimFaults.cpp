// Fault injection, the state and inputs bytes, and the decoded views tests compare with.
#include "sim/SimController.h"

namespace wendlar::sim {

Steps4 SimController::Position() {
  Update();
  Steps4 p{};
  for (int a = 0; a < kAxes; ++a) p[a] = physical_[a] + offset_[a];
  return p;
}

Steps4 SimController::MachinePosition() {
  Update();
  return physical_;
}

uint8_t SimController::StateByte() {
  Update();
  uint8_t s = 0;
  if (running_) s |= kStateRunning;
  if (stopButtonLatched_) s |= kStateStopButton;
  if (overtravelLatched_) s |= kStateOvertravel;
  if (stoppedByOperator_) s |= kStateStoppedByOperator;
  if (!activity_.empty()) s |= kStateBusy;
  if (dataChecksumError_) s |= kStateDataChecksum;
  if (memoryChecksumError_) s |= kStateMemoryChecksum;
  if (!(gotAccel_ && gotTable_)) s |= kStateNotInitialised;
  return s;
}

uint8_t SimController::InputsByte() {
  Update();
  const SimWorld& w = options_.world;
  const auto tripped = [&](int a) { return physical_[a] <= w.homeSwitch[a] || physical_[a] > w.travelMax[a]; };
  uint8_t in = 0;
  if (tripped(kX)) in |= kInSwitchX;
  if (!tripped(kY)) in |= kInSwitchY;
  if (!tripped(kZ)) in |= kInSwitchZ;
  if (!tripped(kW)) in |= kInSwitchW;
  if (stopButtonDown_) in |= kInStopButton;
  if (options_.plasma) {
    if (torch_ != TorchVoltage::kHigh) in |= kInDoorOrTorchHigh;
    if (torch_ != TorchVoltage::kLow) in |= kInServoOrTorchLow;
  } else {
    if (doorOpen_) in |= kInDoorOrTorchHigh;
    if (!servoFault_) in |= kInServoOrTorchLow;
  }
  return in;
}

int SimController::CurrentSpeedIndex() {
  Update();
  const bool moving = !activity_.empty() && stepStarted_ && activity_.front().kind != Step::Kind::kDwell &&
                      activity_.front().kind != Step::Kind::kAction && !move_.Done();
  return moving ? move_.currentIndex : 0;
}

uint8_t SimController::OutputStates() const {
  return static_cast<uint8_t>((spindleOn_[0] ? 1 : 0) | (spindleOn_[1] ? 2 : 0) | (aux_[0] ? 4 : 0) |
                              (aux_[1] ? 8 : 0));
}

int SimController::MeasuredRpm() const { return (spindleOn_[0] || spindleOn_[1]) ? spindleRpm_ : 0; }

int64_t SimController::JobRunTimeUs() {
  Update();
  return running_ ? simUs_ - jobStartUs_ : lastJobRunUs_;
}

void SimController::PressStopButton() {
  Update();
  stopButtonDown_ = true;
  Fault(false);
}

void SimController::ReleaseStopButton() {
  Update();
  stopButtonDown_ = false;
}

void SimController::TripOvertravel() {
  Update();
  Fault(true);
}

void SimController::OpenDoor() {
  Update();
  doorOpen_ = true;
}

void SimController::CloseDoor() {
  Update();
  doorOpen_ = false;
}

void SimController::SetServoFault(bool fault) {
  Update();
  servoFault_ = fault;
}

void SimController::SetTorchVoltage(TorchVoltage v) {
  Update();
  torch_ = v;
}

void SimController::InjectDataChecksumError() {
  Update();
  dataChecksumError_ = true;
  if (running_) StopEverything();
}

void SimController::InjectMemoryChecksumError() {
  Update();
  memoryChecksumError_ = true;
  if (running_) StopEverything();
}

void SimController::HardwareReset() {
  Update();
  activity_.clear();
  stepStarted_ = false;
  faultAtMoveEnd_ = false;
  carryIndex_ = 0;
  if (running_) EndJob();
  head_ = tail_ = readPointer_ = 0;
  abandoned_ = false;
  speeds_ = SimSpeeds(WideFamily());
  for (int a = 0; a < kAxes; ++a) offset_[a] = -physical_[a];
  stopButtonLatched_ = stopButtonDown_;
  overtravelLatched_ = stoppedByOperator_ = dataChecksumError_ = memoryChecksumError_ = false;
  gotAccel_ = gotTable_ = paused_ = false;
  optionFlags_ = fourthAxis_ = overrideByte_ = lastDirection_ = 0;
  feedOverride_ = rapidIndex_ = contourMax_ = 0;
  selectedSpindle_ = 0;
  SpindlesOff();
  aux_[0] = aux_[1] = laserOn_ = false;
  changer_ = SimToolChanger{};
  spindleRpm_ = laserValue_ = pwm_ = 0;
  selectedVariable_ = 0;
  readJustLatched_ = false;
  window_ = {};
  memoryReply_ = {};
  executedCount_ = 0;
  pending_.clear();
  overlong_ = false;
}

void SimController::DropReplies(int n) { dropReplies_ = n > 0 ? n : 0; }

void SimController::GarbleReplies(int n) { garbleReplies_ = n > 0 ? n : 0; }

void SimController::SetDeadLine(bool dead) { deadLine_ = dead; }

void SimController::AnswerOffline(int n) { offlineReplies_ = n > 0 ? n : 0; }

}  // namespace wendlar::sim
