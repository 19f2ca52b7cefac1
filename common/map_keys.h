// Keys of the unit file and the labelunit file. Each key is compared whole
// and case-sensitively; key and value are separated by a space.
#pragma once

#include <string_view>

namespace somlabel::keys {

// Map-level lines.
inline constexpr std::string_view kXdim = "$XDIM";
inline constexpr std::string_view kYdim = "$YDIM";
inline constexpr std::string_view kType = "$TYPE";

// Unit lines of the unit file.
inline constexpr std::string_view kPosX = "$POS_X";  // starts a unit block
inline constexpr std::string_view kPosY = "$POS_Y";
inline constexpr std::string_view kNodeId = "$NODE_ID";  // second "_" field: the layer
inline constexpr std::string_view kQuanterrorNode = "$QUANTERROR_NODE";
inline constexpr std::string_view kNrVecMapped = "$NR_VEC_MAPPED";
inline constexpr std::string_view kMappedVecs = "$MAPPED_VECS";
inline constexpr std::string_view kNrSomsMapped = "$NR_SOMS_MAPPED";  // 0: leaf unit
inline constexpr std::string_view kUrlMappedSoms = "$URL_MAPPED_SOMS";
inline constexpr std::string_view kNrLabels = "$NR_LABELS";
inline constexpr std::string_view kLabel = "$LABEL";

// Lines that only the labelunit file holds.
inline constexpr std::string_view kVec = "$VEC";  // one document name per line
inline constexpr std::string_view kMode0Phrases = "$MODE0_PHRASES";
inline constexpr std::string_view kM0Label = "$M0_LABEL";
inline constexpr std::string_view kMode1Phrases = "$MODE1_PHRASES";  // then that many phrase lines
inline constexpr std::string_view kSomAbove = "$SOMABOVE";           // appended by the map above

}  // namespace somlabel::keys
