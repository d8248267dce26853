// Unit design sprites: the plain cell and, uvoffset to its right, the additive cell of the
// composition target. Glow layers add their light over the painted layers; the alpha is
// whichever of the two covers more.
@param float uvoffset 0.5
@technique main
@pass p0
@fragment
void main() {
  vec4 plain = texture(tex0, vUV0);
  vec4 glow = texture(tex0, vUV0 + vec2(uvoffset, 0.0));
  vec3 rgb = min(plain.rgb * plain.a + glow.rgb * glow.a, vec3(1.0));
  float a = max(plain.a, glow.a);
  fragColour = vec4(a > 0.0 ? rgb / a : vec3(0.0), a) * vColour;
}
@end
