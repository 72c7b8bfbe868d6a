#include "host/MvShapes.h"

MvMaterial::MvMaterial()
    : _diffuse{{0.8f, 0.8f, 0.8f, 1.0f}}, _specular{{0.0f, 0.0f, 0.0f, 1.0f}}, _shininess(0.0f) {}

unsigned MvMaterial::setDiffuseColor(const MvVec4<float>& c) {
  _diffuse = c;
  return 1;
}

unsigned MvMaterial::setSpecularColor(const MvVec4<float>& c) {
  _specular = c;
  return 1;
}

unsigned MvMaterial::setShininess(float s) {
  _shininess = s;
  return 1;
}

unsigned MvNode::appendAttribute(MvAttribute* attr, MvPathQual* qual) {
  if (!attr) {
    MvErrorState::throwStdError("MvNode", "appendAttribute", "attr != NULL", MvErrorState::kCondition);
    return 0;
  }
  // Both lists grow by a null entry first (growing access: amortised
  // doubling) and the references are taken only once both could grow, so a
  // failure leaves the node and attr's count alone.
  const int n = _attributes.length();
  MvAutoPtr<MvAttribute>& attrSlot = _attributes[n];
  if (_attributes.length() != n + 1) {
    MvErrorState::rethrowError();
    return 0;
  }
  MvAutoPtr<MvPathQual>& qualSlot = _qualifiers[n];
  if (_qualifiers.length() != n + 1) {
    _attributes.setLength(n);
    MvErrorState::rethrowError();
    return 0;
  }
  attrSlot = attr;
  qualSlot = qual;
  return 1;
}
