-- Sample content for the demo: users, three projects with members, categories and documents.
-- Each user's password is the user name, stored as its Argon2id hash.
INSERT INTO Users (Username, password, FirstName, LastName, email, Position, Role, Created) VALUES
  ('ALICE', '$argon2id$v=19$m=65536,t=2,p=1$I2oOsHLYu8MXJlorFfbJvA$+kjBxCDUkPNhoyglmjJfk4ifvKJeFZjwYbQDZDQj1Dg', 'Alice', 'Moreau', 'alice@example.org', 'Project lead', 'USER', now()),
  ('BOB', '$argon2id$v=19$m=65536,t=2,p=1$SGdEOi9wP0xVyfUAOAihSg$auPZTnxkQQTZJwKo95qXyyaqZGN8raUe67hOxrs+JRM', 'Bob', 'Lindqvist', 'bob@example.org', 'Developer', 'USER', now()),
  ('CHLOÉ', '$argon2id$v=19$m=65536,t=2,p=1$d4Pvt36S6IRCtll2u4/+ZA$IX6nd5eWZpUfR4Ryp+vkFpvRdxwE67bcBDs/EHYgWSs', 'Chloé', 'Ünïcödé', 'chloe@example.org', 'Writer', 'USER', now());

INSERT INTO Projects (ProjectName, Description, createdate, ProjectManager) VALUES
  ('Website Relaunch', 'New public website with a shop.', now(), 'ALICE'),
  ('Field Study 2027', 'Interviews and observations for the next product line.', now(), 'BOB'),
  ('Ünïcödé Café', 'Menus, suppliers and the opening plan.', now(), 'ADMIN');

INSERT INTO ProjectMembers (UserName, ProjectID) VALUES
  ('ALICE', 1), ('BOB', 1), ('BOB', 2), ('ALICE', 3), ('CHLOÉ', 3), ('ADMIN', 3);

INSERT INTO Catagories (ProjectID, CatagoryName, Description) VALUES
  (1, 'Requirements', 'What the site must do.'),
  (1, 'Design', NULL),
  (2, 'Interviews', 'Notes of every interview.'),
  (3, 'Menu', NULL),
  (3, 'Suppliers', 'Who delivers what.');

INSERT INTO Requirements (hash, Level, ParentID, RequirementName, Created, Owner, modified, modifiedBy) VALUES
  (101, 2, 1, '1.1 Product pages', now(), 'ALICE', now(), 'ALICE'),
  (102, 2, 1, '1.2 Checkout', now(), 'BOB', now(), 'BOB'),
  (103, 3, 2, '1.2.1 Payment providers', now(), 'BOB', now(), 'BOB'),
  (104, 2, 2, 'Style guide', now(), 'ALICE', now(), 'ALICE'),
  (105, 2, 3, 'Interview plan', now(), 'BOB', now(), 'BOB'),
  (106, 2, 4, 'Breakfast', now(), 'CHLOÉ', now(), 'CHLOÉ'),
  (107, 2, 5, 'Coffee roasters', now(), 'ALICE', now(), 'ALICE');

-- A project worth looking at: Website Relaunch has four categories and documents three
-- levels deep, formatted bodies (scripts/setup-db.sh --demo stores sql/demo-bodies/<id>.rvf
-- for each document), discussions and attachments.
INSERT INTO Catagories (ProjectID, CatagoryName, Description) VALUES
  (1, 'Planning', 'Milestones and money.'),
  (1, 'Testing', 'How we know it works.');

INSERT INTO Requirements (hash, Level, ParentID, RequirementName, Created, Owner, modified, modifiedBy) VALUES
  (108, 3, 1, '1.1.1 Product detail page', now(), 'ALICE', now(), 'ALICE'),
  (109, 4, 8, '1.1.1.1 Image gallery', now(), 'BOB', now(), 'BOB'),
  (110, 3, 1, '1.1.2 Search results', now(), 'BOB', now(), 'BOB'),
  (111, 2, 6, '2.1 Milestones', now(), 'ALICE', now(), 'ALICE'),
  (112, 2, 6, '2.2 Budget', now(), 'ADMIN', now(), 'ADMIN'),
  (113, 2, 7, 'Test plan', now(), 'BOB', now(), 'BOB'),
  (114, 4, 3, '1.2.1.1 Card payments', now(), 'BOB', now(), 'BOB');

INSERT INTO Req_messages (Subject, Name, msg, created, RequirementID, hash, ParentID, ProjectID) VALUES
  ('Gallery on phones', 'BOB', 'Should swiping loop back to the first picture?', now() - INTERVAL 2 DAY, 1, 201, 0, 1),
  ('Re: Gallery on phones', 'ALICE', 'Yes, and show dots below.', now() - INTERVAL 1 DAY, 1, 202, 1, 1),
  ('Guest checkout', 'ALICE', 'Legal says we may keep the address for 30 days.', now() - INTERVAL 3 HOUR, 2, 203, 0, 1),
  ('Budget review', 'BOB', 'Hosting quotes are in the shared folder.', now() - INTERVAL 1 HOUR, 12, 204, 0, 1);

-- Read states of each message for its two members and the administrator; some unread.
INSERT INTO msg_state (RequirementID, msgID, username, state) VALUES
  (1, 1, 'ALICE', 2), (1, 1, 'BOB', 2), (1, 1, 'ADMIN', 1),
  (1, 2, 'ALICE', 2), (1, 2, 'BOB', 1), (1, 2, 'ADMIN', 1),
  (2, 3, 'ALICE', 2), (2, 3, 'BOB', 1), (2, 3, 'ADMIN', 1),
  (12, 4, 'ALICE', 1), (12, 4, 'BOB', 2), (12, 4, 'ADMIN', 1);

INSERT INTO Attachments (RequirementID, Link, Description, Owner, Created, Filetype) VALUES
  (1, 'https://example.org/mockups/product-page', 'Mock-ups of the product page', 'ALICE', now(), 0),
  (4, '/srv/shared/design/palette.pdf', 'Colour palette', 'ALICE', now(), 1),
  (12, '/srv/shared/planning/hosting-quotes.xlsx', 'Hosting quotes', 'BOB', now(), 1);

-- The outline's state pictures follow these flags.
UPDATE Requirements SET Messages = 1 WHERE RequirementID IN (1, 2, 12);
UPDATE Requirements SET Attachments = 1 WHERE RequirementID IN (1, 4, 12);
