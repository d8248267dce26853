// The light-map composite and the distortion in one pass: the scene (stage 0) is read
// where the distortion target bends it, times the light map (stage 1) at the same texel,
// so a lit battle with heat haze or shock waves costs one full-screen pass, not two.
// distortion_map: the distortion target, offsets around mid-grey in red and green,
// weighted by alpha, read texel for texel.
// light_scale: the part of its target the light map fills (drawn at lower resolution).
@param float light_scale 1.0
@param texture distortion_map
@technique main
@pass p0
@fragment
void main() {
  vec4 d = texelFetch(distortion_map, ivec2(vUV0 * vec2(textureSize(distortion_map, 0))), 0);
  vec2 size = vec2(textureSize(tex0, 0));
  // The texel the bent look lands on, at its centre: the light is read where that texel's
  // own composite would read it.
  vec2 uv = (floor((vUV0 + (d.rg - vec2(0.5)) * 0.04 * d.a) * size) + vec2(0.5)) / size;
  vec4 scene = texture(tex0, uv);
  vec3 light = texture(tex1, uv * light_scale).rgb;
  fragColour = vec4(min(scene.rgb * light * 1.25, vec3(1.0)), 1.0);
}
@end
