// Heat haze and shock waves: the distortion target (stage 1) holds offsets around mid-grey
// in red and green, weighted by alpha; the scene is sampled that far away.
@technique main
@pass p0
@fragment
void main() {
  vec4 d = texture(tex1, vUV0);
  vec2 offset = (d.rg - vec2(0.5)) * 0.04 * d.a;
  fragColour = vec4(texture(tex0, vUV0 + offset).rgb, 1.0);
}
@end
