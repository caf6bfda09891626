#include "plugin/player_state.h"

PlayerState& Player() {
  static PlayerState state;
  return state;
}
