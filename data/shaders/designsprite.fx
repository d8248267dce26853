// Unit design sprites: the plain cell of the composition target holds the layers as the
// battle draws them, blended over clear black, so its colour carries the coverage and its
// alpha the coverage squared (alpha blends with the same factors). The picture is that
// cell with straight colour and its coverage. The additive cell, uvoffset to its right,
// sums the layers: adding it would paint every picture twice as bright and overlapping
// layers (a turret over its hull) white, so it is not used.
@param float uvoffset 0.5
@technique main
@pass p0
@fragment
void main() {
  vec4 plain = texture(tex0, vUV0);
  float a = sqrt(plain.a);
  fragColour = vec4(a > 0.0 ? min(plain.rgb / a, vec3(1.0)) : vec3(0.0), a) * vColour;
}
@end
