// A baked map square in one pass: the ground (stage 0) with the tile prop over it
// (stage 1, its own coordinates), both laid over black as two alpha-blended draws would
// lay them, colour and alpha alike. The vertex alpha is 0 where a square has no prop.
@technique main
@pass p0
@fragment
void main() {
  vec4 ground = texture(tex0, vUV0);
  vec4 prop = texture(tex1, vUV1);
  float pa = prop.a * vColour.a;
  vec3 colour = ground.rgb * ground.a;
  float alpha = ground.a * ground.a + (1.0 - ground.a);
  colour = prop.rgb * pa + colour * (1.0 - pa);
  alpha = pa * pa + alpha * (1.0 - pa);
  fragColour = vec4(colour, alpha);
}
@end
